#include "app/qt/srvdiagmain.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>

namespace {

// Fonts with the metrics the layout was drawn for, nearest first; the platform's sans-serif
// font when none is installed.
QFont LayoutFont(int pixelSize, bool bold)
{
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                      QStringLiteral("Nimbus Sans"), QStringLiteral("Arial"),
                      QStringLiteral("Helvetica")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

template <typename T> T* Place(T* control, int left, int top, int width, int height)
{
    control->setGeometry(left, top, width, height);
    return control;
}

} // namespace

void TMain::CreateLayout()
{
    setWindowTitle(QStringLiteral("Server diagnosis tool"));
    // A fixed frame with only the system menu and the close box.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(365, 228);
    move(192, 107);
    setFont(LayoutFont(11, false));

    InstrTxt = new QLabel(QStringLiteral("InstrTxt"), this);
    InstrTxt->move(8, 8);
    InstrTxt->setFont(LayoutFont(16, true));
    InstrTxt->setTextFormat(Qt::PlainText);
    InstrTxt->adjustSize();
    InstrTxt->hide();

    LangGrp = Place(new QGroupBox(QStringLiteral("Language "), this), 48, 32, 265, 105);

    FileTxt = Place(new QLabel(QStringLiteral("&File"), LangGrp), 16, 51, 16, 13);
    FileTxt->hide();

    LangCombo = Place(new QComboBox(LangGrp), 40, 48, 185, 21);

    ShutdnChk = Place(new QCheckBox(QStringLiteral("&Shutdown"), LangGrp), 16, 50, 177, 17);
    ShutdnChk->hide();

    FileCombo = Place(new QComboBox(LangGrp), 40, 48, 185, 21);
    FileCombo->setEditable(true);
    // Enter moves the wizard on; it must not also add the typed name to the recent list.
    FileCombo->setInsertPolicy(QComboBox::NoInsert);
    FileCombo->hide();
    FileTxt->setBuddy(FileCombo);

    BrowseBut = Place(new QPushButton(QStringLiteral("..."), LangGrp), 232, 48, 21, 21);
    BrowseBut->hide();

    PrcBar = Place(new QProgressBar(this), 8, 160, 347, 17);
    PrcBar->setRange(0, 100);
    PrcBar->setTextVisible(false);
    PrcBar->hide();

    Bevel1 = Place(new QFrame(this), 8, 186, 347, 2);
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);

    EndBut = Place(new QPushButton(QStringLiteral("Einde"), this), 8, 196, 75, 25);
    PrevBut = Place(new QPushButton(QStringLiteral("<= &Terug"), this), 200, 196, 75, 25);
    PrevBut->hide();
    NextBut = Place(new QPushButton(QStringLiteral("&Verder =>"), this), 280, 196, 75, 25);
    NextBut->setDefault(true);

    setTabOrder(LangCombo, ShutdnChk);
    setTabOrder(ShutdnChk, FileCombo);
    setTabOrder(FileCombo, BrowseBut);
    setTabOrder(BrowseBut, NextBut);
    setTabOrder(NextBut, PrevBut);
    setTabOrder(PrevBut, EndBut);

    // Enter is the default button's key on every page, whatever control has the focus (an
    // editable combo box would otherwise keep it); a focused push button takes it for itself.
    // Escape has no binding: no button cancels.
    for (const QKeySequence& key : {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)}) {
        auto* shortcut = new QShortcut(key, this);
        connect(shortcut, &QShortcut::activated, this, [this] {
            auto* button = qobject_cast<QPushButton*>(focusWidget());
            if (button == nullptr || button == NextBut)
                button = NextBut;
            if (button->isVisible() && button->isEnabled())
                button->click();
        });
    }

    connect(NextBut, &QPushButton::clicked, this, &TMain::DoNext);
    connect(PrevBut, &QPushButton::clicked, this, &TMain::DoPrev);
    connect(EndBut, &QPushButton::clicked, this, &TMain::DoQuit);
    connect(BrowseBut, &QPushButton::clicked, this, &TMain::DoBrowse);
    connect(LangCombo, &QComboBox::currentIndexChanged, this, [this] { DoLang(); });
    // Only the user's own changes count: a name put there by the program (the recent list while
    // reading) must not enable Next on a page that has it off.
    connect(FileCombo->lineEdit(), &QLineEdit::textEdited, this, &TMain::FileComboChange);
    connect(FileCombo, &QComboBox::activated, this, &TMain::FileComboChange);
    connect(ShutdnChk, &QCheckBox::toggled, this, [this](bool on) { Wizard.ShutdownChanged(on); });
}

void TMain::SetInstruction(const QString& text)
{
    // A carriage return starts a new line of the label.
    QString lines = text;
    lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    // A wider substitute font may not fit a line in the window: shrink it until it does.
    QFont font = LayoutFont(16, true);
    const int room = width() - 2 * InstrTxt->x();
    for (int size = 16; size > 9; --size) {
        font.setPixelSize(size);
        int widest = 0;
        for (const QString& line : lines.split(QLatin1Char('\n')))
            widest = std::max(widest, QFontMetrics(font).horizontalAdvance(line));
        if (widest <= room)
            break;
    }
    InstrTxt->setFont(font);
    InstrTxt->setText(lines);
    InstrTxt->adjustSize();
}

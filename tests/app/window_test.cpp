#include "app/core/wizardmodel.h"
#include "app/qt/srvdiagmain.h"
#include "serial/comport.h"
#include "tests/support/qtserve.h"
#include "tests/support/scratchdir.h"
#include "tests/support/scriptstages.h"
#include "worker/serthread.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <pty.h>
#include <unistd.h>

namespace {

// Watches the application's events for the Show of the widget dialog() names, then queues
// answer, which runs in the loop that showed it (a modal dialog's own), and goes away.
class TAnswerOnShow final : public QObject
{
public:
    TAnswerOnShow(QObject* parent, std::function<QWidget*()> dialog, std::function<void()> answer)
        : QObject(parent), Dialog(std::move(dialog)), Answer(std::move(answer))
    {
        QCoreApplication::instance()->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && watched != nullptr && watched == Dialog()) {
            QCoreApplication::instance()->removeEventFilter(this);
            QMetaObject::invokeMethod(
                this,
                [this] {
                    Answer();
                    deleteLater();
                },
                Qt::QueuedConnection);
        }
        return false;
    }

private:
    std::function<QWidget*()> Dialog;
    std::function<void()> Answer;
};

// The real window with scripted stages; the program "lives" in a fresh folder, so its settings
// and trace files are srvdiag.INI and srvdiag.ERR there.
class Window : public ::testing::Test
{
protected:
    void SetUp() override
    {
        auto stages = std::make_unique<TScriptStages>();
        Stages = stages.get();
        Main = std::make_unique<TMain>(std::move(stages), InDir("srvdiag"));
    }

    void TearDown() override
    {
        Main.reset();
        EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty()) << "a window leaked";
    }

    void Activate()
    {
        Main->show();
        Main->activateWindow();
        ASSERT_TRUE(ServeEventsUntil([this] { return Main->isActiveWindow(); }));
        ASSERT_EQ(Main->Page(), 1);
        Settle();
    }

    // Waits until the worker has parked again (after a page change or Back): it parks through a
    // call it posts to the window, so the park is an event.
    void Settle()
    {
        ASSERT_TRUE(ServeEventsUntil(
            [this] { return Main->Worker()->Suspended() && !Main->Worker()->BackRequested(); }));
    }

    void Next()
    {
        ASSERT_TRUE(Main->NextBut->isVisible() && Main->NextBut->isEnabled());
        Main->NextBut->click();
        if (Main->Worker() != nullptr)
            Settle();
    }

    void Back()
    {
        ASSERT_TRUE(Main->PrevBut->isVisible());
        Main->PrevBut->click();
        Settle();
    }

    void TypeFileName(const QString& name)
    {
        Main->FileCombo->lineEdit()->clear();
        QTest::keyClicks(Main->FileCombo->lineEdit(), name);
    }

    void WalkToPage4()
    {
        Next();
        TypeFileName(InDir("out.DMP"));
        Next();
        Next();
        ASSERT_EQ(Main->Page(), 4);
    }

    // Runs answer once the save dialog shows, from the dialog's own modal loop.
    void AnswerDialog(std::function<void()> answer)
    {
        new TAnswerOnShow(
            Main.get(), [this] { return Main->SaveDlg; }, std::move(answer));
    }

    QString Instruction() const { return Main->InstrTxt->text(); }
    // A file of the program's folder, as the window's controls show its name.
    QString InDir(const std::string& name) const
    {
        return QString::fromStdString(Dir.File(name).string());
    }
    std::filesystem::path IniFile() const { return Dir.File("srvdiag.INI"); }

    TScratchDir Dir;
    TScriptStages* Stages = nullptr;
    std::unique_ptr<TMain> Main;
};

TEST_F(Window, LayoutAsDesigned)
{
    EXPECT_EQ(Main->windowTitle(), "Server diagnosis tool");
    EXPECT_EQ(Main->size(), QSize(365, 228));
    EXPECT_EQ(Main->minimumSize(), Main->maximumSize());
    EXPECT_FALSE(Main->windowFlags() &
                 (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(Main->pos(), QPoint(192, 107));
    EXPECT_EQ(Main->Page(), 0);

    const struct
    {
        QWidget* Control;
        QRect Geometry;
        bool Shown;
    } controls[] = {
        {Main->LangGrp, {48, 32, 265, 105}, true},   {Main->FileTxt, {16, 51, 16, 13}, false},
        {Main->LangCombo, {40, 48, 185, 21}, true},  {Main->ShutdnChk, {16, 50, 177, 17}, false},
        {Main->FileCombo, {40, 48, 185, 21}, false}, {Main->BrowseBut, {232, 48, 21, 21}, false},
        {Main->PrcBar, {8, 160, 347, 17}, false},    {Main->Bevel1, {8, 186, 347, 2}, true},
        {Main->EndBut, {8, 196, 75, 25}, true},      {Main->PrevBut, {200, 196, 75, 25}, false},
        {Main->NextBut, {280, 196, 75, 25}, true},
    };
    for (const auto& c : controls) {
        EXPECT_EQ(c.Control->geometry(), c.Geometry) << c.Control->metaObject()->className();
        EXPECT_EQ(!c.Control->isHidden(), c.Shown) << c.Control->metaObject()->className();
    }
    EXPECT_EQ(Main->InstrTxt->pos(), QPoint(8, 8));
    EXPECT_TRUE(Main->InstrTxt->isHidden());

    EXPECT_EQ(Main->LangGrp->title(), "Language ");
    EXPECT_EQ(Main->NextBut->text(), "&Verder =>");
    EXPECT_EQ(Main->PrevBut->text(), "<= &Terug");
    EXPECT_EQ(Main->EndBut->text(), "Einde");
    EXPECT_EQ(Main->ShutdnChk->text(), "&Shutdown");
    EXPECT_EQ(Main->BrowseBut->text(), "...");
    EXPECT_TRUE(Main->NextBut->isDefault());
    EXPECT_EQ(Main->FileTxt->buddy(), Main->FileCombo);
    EXPECT_TRUE(Main->FileCombo->isEditable());
    EXPECT_FALSE(Main->LangCombo->isEditable());

    // The focusable controls in the order Tab visits them (the file box's line edit is part of
    // the file box).
    QList<QWidget*> chain;
    QWidget* w = Main->LangCombo;
    do {
        if ((w->focusPolicy() & Qt::TabFocus) && w->focusProxy() == nullptr &&
            qobject_cast<QLineEdit*>(w) == nullptr)
            chain.append(w);
        w = w->nextInFocusChain();
    } while (w != Main->LangCombo);
    EXPECT_EQ(chain,
              (QList<QWidget*>{Main->LangCombo, Main->ShutdnChk, Main->FileCombo, Main->BrowseBut,
                               Main->NextBut, Main->PrevBut, Main->EndBut}));
}

TEST_F(Window, LaterActivationsChangeNothing)
{
    Activate();
    TSerThread* worker = Main->Worker();
    Next();
    Main->DoAct();
    EXPECT_EQ(Main->Worker(), worker);
    EXPECT_EQ(Main->LangCombo->count(), 2);
    EXPECT_EQ(Main->Page(), 2);
}

// The save dialog's own labels and buttons follow the chosen language, and go back with it.
TEST_F(Window, NederlandsTranslatesTheSaveDialogsOwnTextsAndEnglishRestoresThem)
{
    Activate();
    QLabel* lookIn = Main->SaveDlg->findChild<QLabel*>(QStringLiteral("lookInLabel"));
    QLabel* fileName = Main->SaveDlg->findChild<QLabel*>(QStringLiteral("fileNameLabel"));
    ASSERT_NE(lookIn, nullptr);
    ASSERT_NE(fileName, nullptr);
    const QString englishLookIn = lookIn->text();
    const QString englishFileName = fileName->text();

    Main->LangCombo->setCurrentIndex(1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
    const QString dutchLookIn = QCoreApplication::translate("QFileDialog", "Look in:");
    EXPECT_NE(dutchLookIn, QStringLiteral("Look in:")) << "the system's Dutch translation";
    EXPECT_EQ(lookIn->text(), dutchLookIn);
    EXPECT_NE(fileName->text(), englishFileName);
    EXPECT_EQ(Main->SaveDlg->windowTitle(), "Opslaan als") << "the window's own title stays";

    Main->LangCombo->setCurrentIndex(0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
    EXPECT_EQ(lookIn->text(), englishLookIn);
    EXPECT_EQ(fileName->text(), englishFileName);
    EXPECT_EQ(Main->SaveDlg->windowTitle(), "Output file");
}

TEST_F(Window, CloseBeforeFirstActivationWritesNothing)
{
    QCloseEvent event;
    QApplication::sendEvent(Main.get(), &event);
    EXPECT_EQ(Main->Worker(), nullptr);
    EXPECT_FALSE(std::filesystem::exists(IniFile()));
}

struct TLanguageCase
{
    int Index;
    const char* Next;
    const char* Back;
    const char* Exit;
    const char* Shutdown;
    const char* Page2;
    const char* Page3;
    const char* Page4;
    const char* Page7;
};

void PrintTo(const TLanguageCase& lang, std::ostream* out)
{
    *out << "language " << lang.Index;
}

class WindowLanguage : public Window, public ::testing::WithParamInterface<TLanguageCase>
{
};

TEST_P(WindowLanguage, WalksForwardToSuccessAndBackWithItsCaptions)
{
    const TLanguageCase lang = GetParam();
    Activate();
    EXPECT_EQ(Main->LangCombo->count(), 2);
    EXPECT_EQ(Main->LangCombo->itemText(1), "Nederlands");
    EXPECT_TRUE(Main->LangCombo->hasFocus());
    EXPECT_EQ(Main->NextBut->text(), "&Next =>"); // every start is English
    Main->LangCombo->setCurrentIndex(lang.Index);
    EXPECT_EQ(Main->NextBut->text(), lang.Next);
    EXPECT_EQ(Main->EndBut->text(), lang.Exit);
    EXPECT_EQ(Main->LangGrp->title(), "Language of this tool's user interface ");
    EXPECT_TRUE(Main->PrevBut->isHidden());
    EXPECT_EQ(Main->SaveDlg->windowTitle(), lang.Index == 0 ? "Output file" : "Opslaan als");

    Next();
    EXPECT_EQ(Main->LangGrp->title(), QString(lang.Page2) + ' ');
    EXPECT_TRUE(Main->FileCombo->isVisible());
    EXPECT_TRUE(Main->BrowseBut->isVisible());
    EXPECT_FALSE(Main->LangCombo->isVisible());
    EXPECT_FALSE(Main->NextBut->isEnabled()); // no name yet
    EXPECT_EQ(Main->PrevBut->text(), lang.Back);
    TypeFileName("  ");
    EXPECT_TRUE(Main->NextBut->isEnabled()); // blanks count as a name
    TypeFileName(InDir("out.DMP"));

    Next();
    EXPECT_EQ(Main->LangGrp->title(), QString(lang.Page3) + ' ');
    EXPECT_TRUE(Main->ShutdnChk->isVisible());
    EXPECT_EQ(Main->ShutdnChk->text(), lang.Shutdown);
    EXPECT_FALSE(Main->FileCombo->isVisible());

    Next();
    EXPECT_FALSE(Main->LangGrp->isVisible());
    EXPECT_TRUE(Main->InstrTxt->isVisible());
    EXPECT_EQ(Instruction(), lang.Page4);
    EXPECT_EQ(Main->Worker()->DumpFileName(), InDir("out.DMP").toStdString());

    Stages->ScriptReadOut(TStageStep::Succeed().WithProgress(40).WithAddRecent());
    Next(); // 5, 6 and on to 7 by the worker
    EXPECT_EQ(Main->Page(), 7);
    EXPECT_EQ(Instruction(), lang.Page7);
    EXPECT_FALSE(Main->PrcBar->isVisible());
    EXPECT_EQ(Main->PrcBar->value(), 0);
    EXPECT_TRUE(Main->NextBut->hasFocus());
    EXPECT_EQ(Main->FileCombo->itemText(0), InDir("out.DMP"));

    Back();
    EXPECT_EQ(Main->Page(), 3);
    Back();
    EXPECT_EQ(Main->Page(), 2);
    EXPECT_EQ(Main->LangGrp->title(), QString(lang.Page2) + ' ');
    Back();
    EXPECT_EQ(Main->Page(), 1);
    EXPECT_EQ(Main->Worker()->ResultCode(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Languages, WindowLanguage,
    ::testing::Values(
        TLanguageCase{0, "&Next =>", "<= &Back", "Exit", "&Shutdown server", "Specify output file",
                      "Options", "Connect the server to your computer.\n\nClick Next.",
                      "Read-out of server memory\nwas successful!\nThis program will exit "
                      "now.\n\nClick Next."},
        TLanguageCase{1, "&Verder =>", "<= &Terug", "Einde", "&Server stoppen",
                      "Gegevens opslaan als", "Opties",
                      "Sluit de server aan op deze PC.\n\nKlik vervolgens op Verder...",
                      "De server is met succes uitgelezen!\nHet programma wordt nu "
                      "afgesloten.\n\nKlik op Verder..."}),
    [](const ::testing::TestParamInfo<TLanguageCase>& info) {
        return std::string(info.param.Index == 0 ? "English" : "Nederlands");
    });

TEST_F(Window, FailurePagesLeadToPage4OnNextAndPage3OnBack)
{
    Activate();
    WalkToPage4();

    Stages->ScriptConnect(TStageStep::Fail(2).WithTrace("<0\r-1\r"));
    Next();
    EXPECT_EQ(Main->Page(), 9);
    EXPECT_EQ(Instruction(), "Server could not be found.\nMake sure it is properly "
                             "connected.\n\nPress Next to retry.");
    EXPECT_EQ(ReadFile(Dir.File("srvdiag.ERR")), "<0\r-1\r");
    Next();
    EXPECT_EQ(Main->Page(), 4);

    Stages->ScriptReadOut(TStageStep::Fail(1).WithProgress(30));
    Next();
    EXPECT_EQ(Main->Page(), 8);
    EXPECT_FALSE(Main->PrcBar->isVisible());
    EXPECT_EQ(Main->PrcBar->value(), 0);
    Back();
    EXPECT_EQ(Main->Page(), 3);
    EXPECT_TRUE(Main->ShutdnChk->hasFocus());

    Next();
    Stages->ScriptConnect(TStageStep::Throwing());
    Next();
    EXPECT_EQ(Main->Page(), 10);
    EXPECT_EQ(Main->EndBut->text(), "Exit");
}

// Every text on every page, in both languages, fits its control and the window: nothing is
// clipped, and the instruction's lines are its carriage-return lines, above the separator.
class WindowFit : public Window, public ::testing::WithParamInterface<int>
{
protected:
    void ExpectFits(const char* where)
    {
        SCOPED_TRACE(::testing::Message() << "page " << int(Main->Page()) << ", " << where);
        const QRect window = Main->rect();
        for (QWidget* control : Main->findChildren<QWidget*>()) {
            if (!control->isVisible() || control == Main->Bevel1)
                continue;
            const QRect place(control->mapTo(Main.get(), QPoint(0, 0)), control->size());
            EXPECT_TRUE(window.contains(place))
                << control->metaObject()->className() << " leaves the window";
            if (auto* label = qobject_cast<QLabel*>(control)) {
                EXPECT_GE(label->width(), label->sizeHint().width()) << "a label clips its text";
            } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
                // The caption's own width (the ampersand is not drawn), plus the check box's
                // indicator; the style's minimum button width does not matter here.
                QString caption = button->text();
                caption.remove('&');
                const QFontMetrics metrics(button->font());
                int room = button->width();
                if (qobject_cast<QCheckBox*>(button))
                    room -= button->style()->pixelMetric(QStyle::PM_IndicatorWidth) +
                            button->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
                EXPECT_LE(metrics.horizontalAdvance(caption), room)
                    << '"' << caption.toStdString() << "\" is clipped";
                EXPECT_LE(metrics.height(), button->height());
            }
        }
        if (Main->LangGrp->isVisible()) {
            const QFontMetrics metrics(Main->LangGrp->font());
            EXPECT_LE(metrics.horizontalAdvance(Main->LangGrp->title()), Main->LangGrp->width());
        }
        if (Main->InstrTxt->isVisible()) {
            EXPECT_FALSE(Main->InstrTxt->wordWrap());
            const QStringList lines = Main->InstrTxt->text().split('\n');
            const QFontMetrics metrics(Main->InstrTxt->font());
            EXPECT_GE(Main->InstrTxt->height(), lines.size() * metrics.lineSpacing() - 2);
            EXPECT_LE(Main->InstrTxt->y() + Main->InstrTxt->height(), Main->Bevel1->y());
        }
    }
};

TEST_P(WindowFit, TextsFitTheirControlsOnEveryPage)
{
    Activate();
    Main->LangCombo->setCurrentIndex(GetParam());
    ExpectFits("language");
    Next();
    TypeFileName(InDir("out.DMP"));
    ExpectFits("output file");
    Next();
    ExpectFits("options");
    Next();
    ExpectFits("connect");
    Stages->ScriptConnect(TStageStep::Fail(2));
    Next();
    ExpectFits("server not found");
    Next();
    Stages->ScriptConnect(TStageStep::Fail(3));
    Next();
    ExpectFits("communication error");
    Next();
    Stages->ScriptReadOut(TStageStep::Fail(1));
    Next();
    ExpectFits("output-file error");
    Next();
    Next();
    ExpectFits("success");
}

INSTANTIATE_TEST_SUITE_P(Languages, WindowFit, ::testing::Values(0, 1),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(info.param == 0 ? "English" : "Nederlands");
                         });

TEST_F(Window, PortLeftOpenByAFailedAttemptIsClosedByNextToPage4)
{
    char name[256] = {};
    int master = -1;
    int slave = -1;
    ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    ::close(slave);
    Activate();
    WalkToPage4();
    Main->SerIF().SetDeviceName(name); // as bring-up leaves it: open, Tag 1
    Main->SerIF().Open();
    Main->SerIF().SetTag(1);
    Stages->ScriptConnect(TStageStep::Fail(2));
    Next();
    ASSERT_EQ(Main->Page(), 9);
    EXPECT_TRUE(Main->SerIF().Active());
    Next();
    EXPECT_EQ(Main->Page(), 4);
    EXPECT_FALSE(Main->SerIF().Active());
    EXPECT_EQ(Main->SerIF().Tag(), 0);
    ::close(master);
}

TEST_F(Window, SettingsAreLoadedOnActivationAndSavedByNextOnPage7)
{
    WriteFile(IniFile(), "100\r\n120\r\nS\r\nA\tB\tC\r\n");
    Activate();
    EXPECT_EQ(Main->pos(), QPoint(100, 120));
    EXPECT_TRUE(Main->ShutdnChk->isChecked());
    EXPECT_TRUE(Main->Controller().ShutdownChecked());
    EXPECT_EQ(Main->FileCombo->count(), 3);
    Next();
    EXPECT_EQ(Main->FileCombo->currentText(), "A");
    EXPECT_TRUE(Main->NextBut->isEnabled());
    Main->FileCombo->setCurrentIndex(2); // picked from the list
    Main->FileComboChange();
    Next();
    Main->ShutdnChk->setChecked(false);
    EXPECT_FALSE(Main->Controller().ShutdownChecked());
    Next();
    Stages->ScriptReadOut(TStageStep::Succeed().WithAddRecent());
    Next();
    ASSERT_EQ(Main->Page(), 7);
    Main->move(150, 160);
    Main->NextBut->click();
    EXPECT_FALSE(Main->isVisible());
    EXPECT_EQ(Main->Worker(), nullptr);
    EXPECT_EQ(ReadFile(IniFile()), "150\r\n160\r\n\r\nC\tA\tB\r\n");
}

// A recent file whose name is not valid UTF-8 (the settings file is in a single-byte code page)
// is shown as well as the toolkit can, but the dump goes to its own bytes and the settings file
// keeps them.
TEST_F(Window, ARecentFileNameThatIsNotUtf8KeepsItsBytes)
{
    WriteFile(IniFile(), "1\r\n2\r\n\r\ncaf\xe9.DMP\tB\r\n");
    Activate();
    Next();
    ASSERT_EQ(Main->FileCombo->currentIndex(), 0);
    Next();
    Next();
    ASSERT_EQ(Main->Page(), 4);
    EXPECT_EQ(Main->Worker()->DumpFileName(), std::filesystem::path("caf\xe9.DMP"));
    Stages->ScriptReadOut(TStageStep::Succeed().WithAddRecent());
    Next();
    ASSERT_EQ(Main->Page(), 7);
    Main->EndBut->click();
    EXPECT_EQ(QByteArray::fromStdString(ReadFile(IniFile())).split('\n').value(3),
              QByteArray("caf\xe9.DMP\tB\r"));
}

// Regression: a position stored on a larger monitor opened the window out of sight.
TEST_F(Window, PositionNoScreenShowsOpensAtTheFirstStartPlaceAndIsSavedAsSuch)
{
    WriteFile(IniFile(), "2500\r\n1800\r\n\r\nA\r\n");
    Activate();
    EXPECT_EQ(Main->pos(), QPoint(192, 107));
    Main->EndBut->click();
    EXPECT_EQ(ReadFile(IniFile()), "192\r\n107\r\n\r\nA\r\n");
}

TEST_F(Window, ExitOnPage1SavesDefaultsWithEmptyList)
{
    Activate();
    Main->EndBut->click();
    EXPECT_EQ(ReadFile(IniFile()), "192\r\n107\r\n\r\n\r\n");
}

TEST_F(Window, EnterActivatesNextEscapeDoesNothingAndAltFReachesTheFileBox)
{
    Activate();
    QTest::keyClick(Main->LangCombo, Qt::Key_Escape);
    EXPECT_TRUE(Main->isVisible());
    QTest::keyClick(Main->LangCombo, Qt::Key_Return);
    Settle();
    ASSERT_EQ(Main->Page(), 2);

    TypeFileName("out.DMP");
    Main->NextBut->setFocus();
    QTest::keyClick(Main->NextBut, Qt::Key_F, Qt::AltModifier);
    EXPECT_TRUE(Main->FileCombo->hasFocus());
    QTest::keyClick(Main->FileCombo->lineEdit(), Qt::Key_Return);
    Settle();
    EXPECT_EQ(Main->Page(), 3);
    EXPECT_EQ(Main->FileCombo->count(), 0); // Enter adds no item

    Next();
    Stages->ScriptConnect(TStageStep::Fail(3));
    QTest::keyClick(Main.get(), Qt::Key_Enter);
    Settle();
    EXPECT_EQ(Main->Page(), 10);
    QTest::keyClick(Main->NextBut, Qt::Key_Escape);
    EXPECT_EQ(Main->Page(), 10);
}

TEST_F(Window, BrowseCancelChangesNothingAndConfirmTakesTheName)
{
    Activate();
    Next();
    EXPECT_FALSE(Main->NextBut->isEnabled());

    AnswerDialog([this] { Main->SaveDlg->reject(); });
    Main->DoBrowse();
    EXPECT_EQ(Main->FileCombo->currentText(), "");
    EXPECT_FALSE(Main->NextBut->isEnabled());

    EXPECT_EQ(Main->SaveDlg->defaultSuffix(), "DMP");
    EXPECT_EQ(Main->SaveDlg->nameFilters(),
              (QStringList{"Dump file (*.DMP)", "Binary file (*.BIN)", "Any file (*.*)"}));
    // The dialog starts from the name in the file box; the user types another one.
    Main->FileCombo->setEditText(InDir("pre.DMP"));
    QString offered;
    AnswerDialog([this, &offered] {
        auto* name = Main->SaveDlg->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(name, nullptr);
        offered = name->text();
        name->setText("dump");
        QMetaObject::invokeMethod(Main->SaveDlg, "accept");
    });
    Main->DoBrowse();
    EXPECT_EQ(offered, "pre.DMP");
    EXPECT_EQ(Main->FileCombo->currentText(), InDir("dump.DMP"));
    EXPECT_TRUE(Main->NextBut->isEnabled());
    EXPECT_TRUE(Main->Controller().NextEnabled());
}

} // namespace

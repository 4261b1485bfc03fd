#include "app/srvdiagmain.h"

#include "app/defaultstages.h"
#include "app/languagetable.h"
#include "serial/comport.h"
#include "worker/serthread.h"
#include "worker/serverport.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace {

QString Text(const std::string& bytes)
{
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

} // namespace

TMain::TMain(QWidget* parent)
    : TMain(MakeDefaultStages(), QCoreApplication::applicationFilePath(), parent)
{
}

TMain::TMain(std::unique_ptr<TStages> stages, const QString& programPath, QWidget* parent)
    : QWidget(parent), ProgramPath(programPath), PendingStages(std::move(stages)),
      Port(MakeServerPort())
{
    CreateLayout();
    CreateSaveDialog();
    PageValue.store(0); // DoInit
}

TMain::~TMain()
{
    // Ends the worker while the controls its calls touch still exist.
    WorkerThread.reset();
}

std::string TMain::IniPath() const
{
    return QFile::encodeName(Paths.IniPath).toStdString();
}

std::string TMain::TracePath() const
{
    // The data folder of an installed copy may not exist yet.
    QDir().mkpath(QFileInfo(Paths.TracePath).absolutePath());
    return QFile::encodeName(Paths.TracePath).toStdString();
}

void TMain::WakeMainThread()
{
    // Queued by name: Qt allocates the call event itself, and the pending calls are handed over
    // under the worker's lock.
    QMetaObject::invokeMethod(this, "ServeWorkerCalls", Qt::QueuedConnection);
}

void TMain::ServeWorkerCalls()
{
    if (WorkerThread)
        WorkerThread->ServeCalls();
}

void TMain::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        DoAct();
}

void TMain::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Without a window manager (a kiosk, a bare X server) the window is never activated; the
    // start-up then runs once the shown window has been mapped.
    QMetaObject::invokeMethod(this, &TMain::DoAct, Qt::QueuedConnection);
}

void TMain::closeEvent(QCloseEvent* event)
{
    DoClos();
    event->accept();
}

void TMain::DoAct()
{
    if (PageValue.load() != 0)
        return;
    Paths = ProgramFilePaths(ProgramPath);
    for (std::uint8_t lang = 0;; ++lang) {
        const std::string name = LangStr(lang, 1);
        if (name.empty())
            break;
        LangCombo->addItem(Text(name));
    }
    LangCombo->setCurrentIndex(0);
    LangCombo->setFocus();
    LoadSettings();
    KeepOnScreen();
    if (FileCombo->count() > 0)
        FileCombo->setCurrentIndex(0);
    DoLang();
    WorkerThread = std::make_unique<TSerThread>(*this, std::move(PendingStages));
    PageValue.store(1);
    ShowPage();
}

void TMain::DoClos()
{
    if (PageValue.load() == 0)
        return;
    SaveSettings();
    if (WorkerThread) {
        WorkerThread->Terminate();
        WorkerThread->Resume();
        WorkerThread->WaitFor();
        WorkerThread.reset();
    }
}

void TMain::DoNext()
{
    const std::uint8_t page = PageValue.load();
    if (page == 7) {
        close();
        return;
    }
    PageValue.store(page >= 8 ? 4 : static_cast<std::uint8_t>(page + 1));
    ShowPage();
}

void TMain::DoPrev()
{
    if (!WorkerThread)
        return;
    WorkerThread->RequestBack();
    WorkerThread->Resume(); // if parked, or about to park
}

void TMain::DoQuit()
{
    close();
}

void TMain::DoLang()
{
    LangIndexValue = static_cast<std::uint8_t>(std::max(0, LangCombo->currentIndex()));
    NextBut->setText(Text(LangStr(LangIndexValue, 2)));
    PrevBut->setText(Text(LangStr(LangIndexValue, 3)));
    EndBut->setText(Text(LangStr(LangIndexValue, 4)));
    ShutdnChk->setText(Text(LangStr(LangIndexValue, 5)));
    FileTxt->setText(Text(LangStr(LangIndexValue, 6)));
    FileTxt->adjustSize();
    SaveDlg->setWindowTitle(Text(LangStr(LangIndexValue, 7)));
}

void TMain::FileComboChange()
{
    SetNextEnabled(!FileCombo->currentText().isEmpty());
}

void TMain::SetNextEnabled(bool enabled)
{
    NextBut->setEnabled(enabled);
    NextOn.store(enabled);
}

void TMain::ShowPage()
{
    const std::uint8_t page = PageValue.load();

    LangGrp->setVisible(page < 4);
    if (page == 1)
        LangGrp->setTitle(QStringLiteral("Language of this tool's user interface "));
    else
        LangGrp->setTitle(Text(LangStr(LangIndexValue, static_cast<std::uint8_t>(page + 6))) +
                          QLatin1Char(' '));
    LangCombo->setVisible(page == 1);
    FileTxt->setVisible(page == 2);
    FileCombo->setVisible(page == 2);
    BrowseBut->setVisible(page == 2);

    if (page == 2)
        SetNextEnabled(!FileCombo->currentText().isEmpty());
    else
        SetNextEnabled(page != 5 && page != 6);

    ShutdnChk->setVisible(page == 3);
    PrevBut->setVisible(page > 1);

    if (page > 3)
        SetInstruction(Text(LangStr(LangIndexValue, static_cast<std::uint8_t>(page + 6))));
    InstrTxt->setVisible(page > 3);

    if (page == 6) {
        PrcBar->setVisible(true);
    } else {
        PrcBar->setValue(0);
        PrcBar->setVisible(false);
    }

    switch (page) {
    case 1:
        LangCombo->setFocus();
        break;
    case 2:
        FileCombo->setFocus();
        break;
    case 3:
        ShutdnChk->setFocus();
        break;
    case 4:
        if (WorkerThread)
            WorkerThread->SetDumpFileName(
                QFile::encodeName(FileCombo->currentText()).toStdString());
        break;
    case 5:
    case 6:
        if (QWidget* focused = focusWidget())
            focused->clearFocus();
        break;
    default:
        NextBut->setFocus();
        break;
    }

    if (page < 5 && Port->Tag() > 0) {
        try {
            Port->Close();
            Port->SetTag(0);
        } catch (...) {
            // Tag stays set: the next page below 5 tries again.
        }
    }

    if (WorkerThread)
        WorkerThread->Resume();
}

void TMain::ShowProgress(std::uint8_t percent)
{
    PrcBar->setValue(percent);
}

#include "app/qt/srvdiagmain.h"

#include "app/core/languagetable.h"
#include "app/core/openfailurehint.h"
#include "app/core/wizardmodel.h"
#include "app/qt/qtdispatcher.h"
#include "serial/comport.h"
#include "worker/serthread.h"
#include "worker/serverport.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <cstdio>

namespace {

QString Text(const std::string& bytes)
{
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

} // namespace

TMain::TMain(QWidget* parent)
    : TMain(MakeSystemStages(), QCoreApplication::applicationFilePath(), parent)
{
}

TMain::TMain(std::unique_ptr<TStages> stages, const QString& programPath, QWidget* parent)
    : TMain(std::move(stages), programPath, nullptr, SteadyClock(), parent)
{
}

TMain::TMain(std::unique_ptr<TStages> stages, const QString& programPath,
             std::unique_ptr<TSerialPlatform> platform, TClock& clock)
    : TMain(std::move(stages), programPath, std::move(platform), clock, nullptr)
{
}

TMain::TMain(std::unique_ptr<TStages> stages, const QString& programPath,
             std::unique_ptr<TSerialPlatform> platform, TClock& clock, QWidget* parent)
    : QWidget(parent), ProgramPath(programPath), PendingStages(std::move(stages)), ClockRef(&clock),
      Port(MakeServerPort(std::move(platform)))
{
    Port->SetMainThreadDispatcher(MakeQtDispatcher());
    CreateLayout();
    CreateSaveDialog();
    PageValue.store(0); // DoInit
}

TMain::~TMain()
{
    // Ends the worker while the controls its calls touch still exist.
    WorkerThread.reset();
}

std::filesystem::path TMain::IniPath() const
{
    return Paths.IniPath;
}

std::filesystem::path TMain::TracePath() const
{
    // The data folder of an installed copy may not exist yet.
    std::error_code ignored;
    std::filesystem::create_directories(Paths.TracePath.parent_path(), ignored);
    return Paths.TracePath;
}

void TMain::PortOpenFailed(const std::string& deviceName, const EComError& error)
{
    const std::string hint = OpenFailureHint(deviceName, error);
    std::fputs(hint.c_str(), stderr);
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
    Paths = ProgramFilePaths(QFile::encodeName(ProgramPath).toStdString(),
                             QCoreApplication::applicationName().toStdString());
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
    const std::optional<std::uint8_t> page = WizardNext(PageValue.load());
    if (!page) {
        close();
        return;
    }
    PageValue.store(*page);
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
    ToolkitTexts.Apply(LangIndexValue);
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
    const TPageView view =
        WizardView(PageValue.load(), LangIndexValue, FileCombo->currentText().isEmpty());

    LangGrp->setVisible(view.LangGrpVisible);
    LangGrp->setTitle(Text(view.LangGrpCaption));
    LangCombo->setVisible(view.LangComboVisible);
    FileTxt->setVisible(view.FileTxtVisible);
    FileCombo->setVisible(view.FileComboVisible);
    BrowseBut->setVisible(view.BrowseButVisible);
    SetNextEnabled(view.NextButEnabled);
    ShutdnChk->setVisible(view.ShutdnChkVisible);
    PrevBut->setVisible(view.PrevButVisible);
    if (view.InstrTxtCaption)
        SetInstruction(Text(*view.InstrTxtCaption));
    InstrTxt->setVisible(view.InstrTxtVisible);
    if (view.PrcBarReset)
        PrcBar->setValue(0);
    PrcBar->setVisible(view.PrcBarVisible);

    switch (view.Focus) {
    case fcLangCombo:
        LangCombo->setFocus();
        break;
    case fcFileCombo:
        FileCombo->setFocus();
        break;
    case fcShutdnChk:
        ShutdnChk->setFocus();
        break;
    case fcNextBut:
        NextBut->setFocus();
        break;
    case fcCleared:
        if (QWidget* focused = focusWidget())
            focused->clearFocus();
        break;
    case fcUnchanged:
        break;
    }

    if (view.HandOverDumpFileName && WorkerThread)
        WorkerThread->SetDumpFileName(FileNameBytes());

    if (view.ClosePort && Port->Tag() > 0) {
        try {
            Port->Close();
            Port->SetTag(0);
        } catch (...) {
            // Tag stays set: the next page below 5 tries again.
        }
    }

    if (view.ResumeWorker && WorkerThread)
        WorkerThread->Resume();
}

void TMain::ShowProgress(std::uint8_t percent)
{
    PrcBar->setValue(percent);
}

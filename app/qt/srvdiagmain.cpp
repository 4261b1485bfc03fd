#include "app/qt/srvdiagmain.h"

#include "app/qt/qtdispatcher.h"
#include "serial/serialplatform.h"
#include "worker/stages.h"

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

TMain::TMain() : TMain(MakeSystemStages(), QCoreApplication::applicationFilePath()) {}

TMain::TMain(std::unique_ptr<TStages> stages, const QString& programPath,
             std::unique_ptr<TSerialPlatform> platform, TClock& clock)
    : Wizard(
          *this, std::move(stages),
          [programPath] {
              return ProgramFilePaths(QFile::encodeName(programPath).toStdString(),
                                      QCoreApplication::applicationName().toStdString());
          },
          MakeQtDispatcher(), std::move(platform), clock)
{
    CreateLayout();
    CreateSaveDialog();
}

TMain::~TMain()
{
    Wizard.EndWorker();
}

void TMain::ReportPortHint(const std::string& hint)
{
    std::fputs(hint.c_str(), stderr);
}

void TMain::PostServeWorker()
{
    // Queued by name: Qt allocates the call event itself, and the pending calls are handed over
    // under the worker's lock.
    QMetaObject::invokeMethod(this, "ServeWorkerCalls", Qt::QueuedConnection);
}

void TMain::ServeWorkerCalls()
{
    Wizard.ServeWorkerCalls();
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

void TMain::DoLang()
{
    Wizard.DoLang(static_cast<std::uint8_t>(std::max(0, LangCombo->currentIndex())));
}

void TMain::SetLanguages(const std::vector<std::string>& names)
{
    for (const std::string& name : names)
        LangCombo->addItem(Text(name));
    LangCombo->setCurrentIndex(0);
    LangCombo->setFocus();
}

void TMain::SetCaptions(const TCaptions& captions)
{
    NextBut->setText(Text(captions.NextBut));
    PrevBut->setText(Text(captions.PrevBut));
    EndBut->setText(Text(captions.EndBut));
    ShutdnChk->setText(Text(captions.ShutdnChk));
    FileTxt->setText(Text(captions.FileTxt));
    FileTxt->adjustSize();
    SaveDlg->setWindowTitle(Text(captions.SaveDlg));
    ToolkitTexts.Apply(Wizard.LangIndex());
}

void TMain::FileComboChange()
{
    Wizard.FileComboChange(FileCombo->currentText().isEmpty());
}

void TMain::SetNextEnabled(bool enabled)
{
    NextBut->setEnabled(enabled);
}

void TMain::ShowPage(const TPageView& view)
{
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
}

void TMain::ShowProgress(std::uint8_t percent)
{
    PrcBar->setValue(percent);
}

// The main window while a job runs: Stop, the command lock, and closing.

#include "gui/MainWindow.h"

#include "base/Prompt.h"
#include "core/publish/Publisher.h"
#include "core/publish/UpdateCheck.h"
#include "gui/EntryDraftKeeper.h"

#include <QCloseEvent>
#include <QPushButton>
#include <QTimer>

void MainWindow::setJobRunning(bool running)
{
    m_jobs = qMax(0, m_jobs + (running ? 1 : -1));
    const bool busy = m_jobs > 0;
    if (busy == m_lock.isLocked())
        return;
    m_lock.setLocked(busy);
    m_stopButton->setVisible(busy);
    m_stopAction->setEnabled(busy);
    if (!busy && m_closeWhenIdle)
        QTimer::singleShot(0, this, &QWidget::close);
}

void MainWindow::stopJobs()
{
    if (m_publisher && m_publisher->isRunning())
        m_publisher->stop();
    if (m_updates && m_updates->isRunning())
        m_updates->stop();
}

// The window cannot go while a job runs: the code running it would come back
// to a window that is gone. Closing then asks whether to stop it; the window
// closes once it has ended.
void MainWindow::closeEvent(QCloseEvent* event)
{
    if (m_jobs == 0) {
        m_draft->saveNow();
        QMainWindow::closeEvent(event);
        return;
    }
    event->ignore();
    if (m_closeWhenIdle)
        return;
    if (m_ws.prompt().message(tr("A transfer is running.  Stop it and close Pagewick?"),
                              Buttons::YesNo, Icon::Question, tr("Pagewick")) != Answer::Yes)
        return;
    m_closeWhenIdle = true;
    stopJobs();
    appendStatus(tr("Transfer cancelled."));
}

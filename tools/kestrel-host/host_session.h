// One kestrel-host run: the window holding the control, the command lines
// read from standard input and the lines written back.
#pragma once

#include <QObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <string>
#include <vector>

#include "host_options.h"
#include "host_sink.h"
#include "kestrel/kestrel.h"

class QDialog;
class QWidget;

namespace kestrel_host {

class host_session : public QObject {
    Q_OBJECT
  public:
    // Takes the control's one reference.
    host_session(IActiveXPhone* control, const host_options& options, QObject* parent = nullptr);
    ~host_session() override;

    // Applies the options, shows the window, says "ready" and starts reading.
    bool start(QString& error);

    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void read_input();
    void run_queued();
    // One command; false when it holds the queue (wait) or ends the run (quit).
    bool run_command(const std::vector<std::string>& words);
    void finish();
    void report_dialog(QDialog* dialog);

    void write_line(const std::string& line);
    void ok(const std::string& json);
    void fail(const std::string& message);

    IActiveXPhone* m_control;
    host_options m_options;
    host_sink m_sink;
    QWidget* m_window = nullptr;
    QSocketNotifier* m_input = nullptr;
    std::string m_pending;  // input not yet ended by a newline
    std::deque<std::string> m_lines;
    bool m_input_ended = false;
    bool m_waiting = false;
    bool m_finished = false;
    QTimer m_wait;
    QPointer<QDialog> m_dialog;        // the newest dialog shown
    Qt::MouseButtons m_mouse_buttons;  // held by the mouse commands
};

}  // namespace kestrel_host

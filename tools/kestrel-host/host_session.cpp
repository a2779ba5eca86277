#include "host_session.h"

#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMetaEnum>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "command_words.h"
#include "kestrel/kestrel_properties.h"

namespace kestrel_host {

namespace {

// Takes over a string the control allocated.
std::string take(char* text) {
    std::string out = text ? text : "";
    std::free(text);
    return out;
}

std::string qjson(const QString& text) {
    return json_string(text.toStdString());
}

// A decimal integer in [low, high], or nothing.
bool read_int(const std::string& text, long low, long high, long& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    out = std::strtol(text.c_str(), &end, 10);
    return errno == 0 && *end == 0 && out >= low && out <= high;
}

std::string result_json(int32_t hr) {
    return std::to_string(hr);
}

}  // namespace

host_session::host_session(IActiveXPhone* control, const host_options& options, QObject* parent)
    : QObject(parent),
      m_control(control),
      m_options(options),
      m_sink([this](const std::string& line) { write_line(line); }, options.console) {
    if (m_options.has_loads) m_sink.set_loads(m_options.loads);
    for (const auto& [number, name] : m_options.names) m_sink.set_name(number, name);
    m_wait.setSingleShot(true);
    connect(&m_wait, &QTimer::timeout, this, [this] {
        m_waiting = false;
        ok("null");
        run_queued();
    });
}

host_session::~host_session() {
    finish();
}

bool host_session::start(QString& error) {
    m_control->Advise(&m_sink);
    if (!m_options.params_file.empty()) {
        QFile file(QString::fromStdString(m_options.params_file));
        if (!file.open(QIODevice::ReadOnly)) {
            error = "cannot read " + file.fileName() + ": " + file.errorString();
            return false;
        }
        const std::string bag = file.readAll().toStdString();
        m_control->LoadPropertyBag(bag.c_str());
    }
    for (const auto& [name, value] : m_options.sets) {
        const int dispid = kestrel::property_dispid(name);
        if (dispid == 0) {
            error = QString::fromStdString("--set names no property: " + name);
            return false;
        }
        m_control->PutProperty(dispid, value.c_str());
    }

    m_window = new QWidget;
    m_window->setObjectName("kestrelHost");
    m_window->setWindowTitle("kestrel-host");
    auto* layout = new QVBoxLayout(m_window);
    layout->setContentsMargins(0, 0, 0, 0);
    QWidget* phone = m_control->Widget();
    phone->setParent(m_window);
    layout->addWidget(phone);
    m_window->resize(m_options.width, m_options.height);
    m_window->installEventFilter(this);
    qApp->installEventFilter(this);
    m_window->show();

    write_line("ready {\"control\":" + json_string(KESTREL_CLASS_DUAL) +
               ",\"width\":" + std::to_string(m_options.width) +
               ",\"height\":" + std::to_string(m_options.height) + "}");

    m_input = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
    connect(m_input, &QSocketNotifier::activated, this, &host_session::read_input);
    return true;
}

bool host_session::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_window && event->type() == QEvent::Close && !m_finished) {
        // The control ended the session: the host ends with it.
        write_line("closed");
        QMetaObject::invokeMethod(
            this, [this] { finish(); }, Qt::QueuedConnection);
    } else if (event->type() == QEvent::Show) {
        auto* dialog = qobject_cast<QDialog*>(watched);
        if (dialog && dialog->isWindow()) report_dialog(dialog);
    }
    return QObject::eventFilter(watched, event);
}

void host_session::report_dialog(QDialog* dialog) {
    m_dialog = dialog;
    QStringList texts;
    for (QLabel* label : dialog->findChildren<QLabel*>()) texts << label->text();
    std::string choices;
    const auto add_choice = [&choices](const QString& text) {
        choices += (choices.empty() ? "" : ",") + qjson(text);
    };
    if (auto* combo = dialog->findChild<QComboBox*>()) {
        for (int i = 0; i < combo->count(); ++i) add_choice(combo->itemText(i));
    } else {
        for (QPushButton* button : dialog->findChildren<QPushButton*>()) add_choice(button->text());
    }
    write_line("dialog {\"name\":" + qjson(dialog->objectName()) +
               ",\"title\":" + qjson(dialog->windowTitle()) +
               ",\"text\":" + qjson(texts.join("\n")) + ",\"choices\":[" + choices + "]}");
}

void host_session::read_input() {
    char buffer[4096];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return;
    if (n <= 0) {
        m_input->setEnabled(false);
        m_input_ended = true;
        if (!m_pending.empty()) m_lines.push_back(std::move(m_pending));
        m_pending.clear();
    } else {
        m_pending.append(buffer, static_cast<size_t>(n));
        size_t newline;
        while ((newline = m_pending.find('\n')) != std::string::npos) {
            m_lines.push_back(m_pending.substr(0, newline));
            m_pending.erase(0, newline + 1);
        }
        // A line with no end in sight is refused rather than held without bound.
        if (m_pending.size() > 1 << 20) {
            m_pending.clear();
            fail("input line longer than 1 MiB: dropped");
        }
    }
    run_queued();
}

void host_session::run_queued() {
    while (!m_waiting && !m_finished && !m_lines.empty()) {
        const std::string line = std::move(m_lines.front());
        m_lines.pop_front();
        const split_result split = split_command(line);
        if (!split.error.empty()) {
            fail(split.error);
            continue;
        }
        if (split.words.empty()) continue;
        if (!run_command(split.words)) break;
    }
    if (!m_waiting && !m_finished && m_lines.empty() && m_input_ended) finish();
}

bool host_session::run_command(const std::vector<std::string>& words) {
    const std::string& command = words[0];
    const size_t argc = words.size() - 1;
    const auto arg = [&words](size_t i) -> const std::string& {
        static const std::string empty;
        return i < words.size() ? words[i] : empty;
    };
    const auto usage = [this](const char* text) {
        fail(std::string("usage: ") + text);
        return true;
    };

    if (command == "put" || command == "get") {
        if (argc != (command == "put" ? 2u : 1u)) return usage("put NAME VALUE | get NAME");
        const int dispid = kestrel::property_dispid(arg(1));
        if (dispid == 0) {
            fail("no property " + arg(1));
        } else if (command == "put") {
            ok(result_json(m_control->PutProperty(dispid, arg(2).c_str())));
        } else {
            char* value = nullptr;
            const int32_t hr = m_control->GetProperty(dispid, &value);
            hr == KESTREL_S_OK ? ok(json_string(take(value))) : fail("GetProperty failed");
        }
    } else if (command == "set") {
        if (argc != 2) return usage("set NAME VALUE");
        ok(result_json(m_control->SetParameter(arg(1).c_str(), arg(2).c_str())));
    } else if (command == "param") {
        if (argc != 1) return usage("param NAME");
        char* value = nullptr;
        const int32_t hr = m_control->GetParameter(arg(1).c_str(), &value);
        hr == KESTREL_S_OK ? ok(json_string(take(value))) : fail("GetParameter failed");
    } else if (command == "call") {
        if (argc > 1) return usage("call [NUMBER]");
        ok(result_json(m_control->CallNumber(arg(1).c_str())));
    } else if (command == "dial") {
        if (argc != 1) return usage("dial TEXT");
        ok(result_json(m_control->DialNumber(arg(1).c_str())));
    } else if (command == "hangup") {
        ok(result_json(m_control->Hangup()));
    } else if (command == "update") {
        ok(result_json(m_control->UpdateCallManager()));
    } else if (command == "mic") {
        if (argc != 1 || (arg(1) != "start" && arg(1) != "stop")) return usage("mic start|stop");
        ok(result_json(arg(1) == "start" ? m_control->StartMicLevel() : m_control->StopMicLevel()));
    } else if (command == "lastten") {
        char* value = nullptr;
        const int32_t hr = m_control->GetLastTenDialed(&value);
        hr == KESTREL_S_OK ? ok(json_string(take(value))) : fail("GetLastTenDialed failed");
    } else if (command == "exec") {
        if (argc < 1 || argc > 3) return usage("exec COMMAND [P1 [P2]]");
        char* value = nullptr;
        const int32_t hr =
            m_control->ExecuteCommand(arg(1).c_str(), arg(2).c_str(), arg(3).c_str(), &value);
        hr == KESTREL_S_OK ? ok(json_string(take(value))) : fail("ExecuteCommand failed");
    } else if (command == "state") {
        char* value = nullptr;
        const int32_t hr = m_control->GetDiagnosticState(&value);
        hr == KESTREL_S_OK ? ok(take(value)) : fail("GetDiagnosticState failed");
    } else if (command == "reply") {
        if (arg(1) == "loads" && argc == 2) {
            m_sink.set_loads(arg(2));
        } else if (arg(1) == "name" && argc == 3) {
            m_sink.set_name(arg(2), arg(3));
        } else {
            return usage("reply loads TEXT | reply name NUMBER TEXT");
        }
        ok("null");
    } else if (command == "dialog-accept") {
        long index = -1;
        if (argc > 1 || (argc == 1 && !read_int(arg(1), 0, 1000, index)))
            return usage("dialog-accept [INDEX]");
        if (!m_dialog || !m_dialog->isVisible()) {
            fail("no dialog open");
            return true;
        }
        if (index >= 0) {
            auto* combo = m_dialog->findChild<QComboBox*>();
            if (!combo || index >= combo->count()) {
                fail("the dialog has no choice " + std::to_string(index));
                return true;
            }
            combo->setCurrentIndex(static_cast<int>(index));
        }
        m_dialog->accept();
        ok("null");
    } else if (command == "wait") {
        long ms = 0;
        if (argc != 1 || !read_int(arg(1), 0, 3600000, ms)) return usage("wait MS (0..3600000)");
        m_waiting = true;
        m_wait.start(static_cast<int>(ms));
        return false;
    } else if (command == "grab") {
        if (argc != 1) return usage("grab FILE");
        QWidget* phone = m_control->Widget();
        const QString file = QString::fromStdString(arg(1));
        // BMP for scripts that read pixels without an image library; else PNG.
        const char* format = file.endsWith(".bmp", Qt::CaseInsensitive) ? "BMP" : "PNG";
        if (!phone) {
            fail("the control has no window");
        } else if (!phone->grab()
                        .toImage()
                        .convertToFormat(QImage::Format_RGB32)
                        .save(file, format)) {
            fail("cannot write " + arg(1));
        } else {
            ok("null");
        }
    } else if (command == "mouse") {
        static const std::map<std::string, QEvent::Type> kinds{
            {"down", QEvent::MouseButtonPress},
            {"up", QEvent::MouseButtonRelease},
            {"move", QEvent::MouseMove},
            {"double", QEvent::MouseButtonDblClick}};
        const auto kind = kinds.find(arg(1));
        long x = 0, y = 0;
        if (argc != 3 || kind == kinds.end() || !read_int(arg(2), -32768, 32767, x) ||
            !read_int(arg(3), -32768, 32767, y))
            return usage("mouse down|up|move|double X Y");
        QWidget* phone = m_control->Widget();
        if (!phone) {
            fail("the control has no window");
            return true;
        }
        // As a window system sends them: the button that changed, and the
        // buttons held after the change.
        const QEvent::Type type = kind->second;
        if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick)
            m_mouse_buttons = Qt::LeftButton;
        else if (type == QEvent::MouseButtonRelease)
            m_mouse_buttons = Qt::NoButton;
        const QPointF local(static_cast<double>(x), static_cast<double>(y));
        const QPointF global = phone->mapToGlobal(local);
        QMouseEvent event(type, local, global,
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                          m_mouse_buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(phone, &event);
        ok("null");
    } else if (command == "key") {
        if (argc < 2 || (arg(1) != "down" && arg(1) != "up"))
            return usage("key down|up KEY [shift] [ctrl]");
        const QMetaEnum keys = QMetaEnum::fromType<Qt::Key>();
        bool found = false;
        const int key = keys.keyToValue(("Key_" + arg(2)).c_str(), &found);
        if (!found) {
            fail("no key " + arg(2));
            return true;
        }
        Qt::KeyboardModifiers modifiers;
        for (size_t i = 3; i <= argc; ++i) {
            if (arg(i) == "shift") {
                modifiers |= Qt::ShiftModifier;
            } else if (arg(i) == "ctrl") {
                modifiers |= Qt::ControlModifier;
            } else {
                return usage("key down|up KEY [shift] [ctrl]");
            }
        }
        QString text;
        if (key >= 0x20 && key < 0x7F) {
            text = QChar(key);
            if (!(modifiers & Qt::ShiftModifier)) text = text.toLower();
        }
        QWidget* phone = m_control->Widget();
        if (!phone) {
            fail("the control has no window");
            return true;
        }
        QKeyEvent event(arg(1) == "down" ? QEvent::KeyPress : QEvent::KeyRelease, key, modifiers,
                        text);
        QCoreApplication::sendEvent(phone, &event);
        ok("null");
    } else if (command == "quit") {
        if (argc != 0) return usage("quit");
        ok("null");
        finish();
        return false;
    } else {
        fail("unknown command " + command);
    }
    return true;
}

void host_session::finish() {
    if (m_finished) return;
    m_finished = true;
    if (m_input) m_input->setEnabled(false);
    m_wait.stop();
    qApp->removeEventFilter(this);
    // Releasing hangs up and logs off before the window goes.
    if (m_control) {
        m_control->Unadvise();
        m_control->Release();
        m_control = nullptr;
    }
    delete m_window;
    m_window = nullptr;
    QCoreApplication::exit(0);
}

void host_session::write_line(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void host_session::ok(const std::string& json) {
    write_line("ok " + json);
}

void host_session::fail(const std::string& message) {
    write_line("error " + json_string(message));
}

}  // namespace kestrel_host

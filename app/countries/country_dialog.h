// The "Country Codes" picker: type a name to jump to it, pick a row, and its
// dialling code goes to the caller's sink.
#pragma once

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "country_table.h"

class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;

namespace dialdeck {

class country_dialog : public QDialog {
    Q_OBJECT

  public:
    using code_sink = std::function<void(const std::string& code)>;

    // colour_text is the window's "r,g,b" background; anything else keeps the
    // default background.
    country_dialog(std::vector<country> rows, const std::string& colour_text,
                   QWidget* parent = nullptr);

    // Runs the dialog modally; a chosen code goes to the sink, a cancel sends nothing.
    static void pick(std::vector<country> rows, const std::string& colour_text,
                     const code_sink& sink, QWidget* parent = nullptr);

    // Empty until a row was chosen with OK or a double-click.
    const std::string& chosen_code() const { return m_code; }

    QLineEdit* name_edit() const { return m_edit; }
    QTreeWidget* list() const { return m_list; }

  public slots:
    void accept() override;

  private:
    void select_typed(const QString& typed);

    std::vector<country> m_rows;
    std::string m_code;
    QLineEdit* m_edit;
    QTreeWidget* m_list;
};

}  // namespace dialdeck

// The "Search" dialog: one line of text to look for.
#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;

namespace dialdeck {

class search_dialog : public QDialog {
    Q_OBJECT

  public:
    explicit search_dialog(QWidget* parent = nullptr);

    QString text() const;
    QLineEdit* edit() const { return m_edit; }

  private:
    QLineEdit* m_edit;
};

}  // namespace dialdeck

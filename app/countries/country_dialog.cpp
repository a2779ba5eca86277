#include "country_dialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QStringList>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>

namespace dialdeck {

namespace {

// "r,g,b" with each part a decimal number; parts outside 0..255 are clamped.
std::optional<QColor> colour_from_text(const std::string& text) {
    const QStringList parts = QString::fromStdString(text).split(',');
    if (parts.size() != 3) return std::nullopt;
    int rgb[3];
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        rgb[i] = std::clamp(parts[i].trimmed().toInt(&ok), 0, 255);
        if (!ok) return std::nullopt;
    }
    return QColor(rgb[0], rgb[1], rgb[2]);
}

}  // namespace

country_dialog::country_dialog(std::vector<country> rows, const std::string& colour_text,
                               QWidget* parent)
    : QDialog(parent),
      m_rows(std::move(rows)),
      m_edit(new QLineEdit(this)),
      m_list(new QTreeWidget(this)) {
    setWindowTitle(QStringLiteral("Country Codes"));
    if (const auto colour = colour_from_text(colour_text)) {
        QPalette palette = this->palette();
        palette.setColor(QPalette::Window, *colour);
        setPalette(palette);
        setAutoFillBackground(true);
    }

    m_list->setColumnCount(2);
    m_list->setHeaderLabels({QStringLiteral("Country"), QStringLiteral("Code")});
    m_list->setColumnWidth(0, 150);
    m_list->setColumnWidth(1, 50);
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(m_rows.size()));
    for (const country& row : m_rows) {
        items.append(new QTreeWidgetItem(
            {QString::fromStdString(row.name), QString::fromStdString(row.code)}));
    }
    m_list->addTopLevelItems(items);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_edit);
    layout->addWidget(m_list);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &country_dialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &country_dialog::reject);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, &country_dialog::accept);
    connect(m_edit, &QLineEdit::textChanged, this, &country_dialog::select_typed);
}

void country_dialog::select_typed(const QString& typed) {
    const auto index = find_country(m_rows, typed.toStdString());
    if (!index) return;
    QTreeWidgetItem* item = m_list->topLevelItem(static_cast<int>(*index));
    m_list->setCurrentItem(item);
    m_list->scrollToItem(item);
}

void country_dialog::accept() {
    const QList<QTreeWidgetItem*> selected = m_list->selectedItems();
    if (selected.isEmpty()) {
        QMessageBox::warning(this, QStringLiteral("Select Country"),
                             QStringLiteral("Please select a country code."));
        return;
    }
    const int row = m_list->indexOfTopLevelItem(selected.first());
    if (row < 0 || static_cast<size_t>(row) >= m_rows.size()) return;
    m_code = m_rows[static_cast<size_t>(row)].code;
    QDialog::accept();
}

void country_dialog::pick(std::vector<country> rows, const std::string& colour_text,
                          const code_sink& sink, QWidget* parent) {
    country_dialog dialog(std::move(rows), colour_text, parent);
    if (dialog.exec() == QDialog::Accepted && !dialog.chosen_code().empty() && sink) {
        sink(dialog.chosen_code());
    }
}

}  // namespace dialdeck

#include "gui/widgets/page_controls.h"

#include <QLabel>
#include <QPalette>
#include <QPushButton>

namespace tunex {

QLabel* plainLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    return label;
}

QPushButton* pageButton(const QString& caption, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setAutoDefault(false);
    return button;
}

void useTooltipColours(QWidget& tree) {
    QPalette colours = tree.palette();
    colours.setColor(QPalette::Base, colours.color(QPalette::ToolTipBase));
    colours.setColor(QPalette::Text, colours.color(QPalette::ToolTipText));
    tree.setPalette(colours);
}

}  // namespace tunex

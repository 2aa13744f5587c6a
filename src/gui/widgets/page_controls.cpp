#include "gui/widgets/page_controls.h"

#include "gui/widgets/list_colours.h"

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
    useInfoListColours(tree, tree.palette().color(QPalette::ToolTipText));
}

}  // namespace tunex

#include "gui/widgets/list_colours.h"

#include <QAbstractItemView>

namespace tunex {

void useInfoListColours(QAbstractItemView& view, const QColor& text) {
    QPalette palette = view.palette();
    const QColor background = palette.color(QPalette::ToolTipBase);
    palette.setColor(QPalette::Base, background);
    palette.setColor(QPalette::AlternateBase, background);
    palette.setColor(QPalette::Text,
                     background.lightness() >= 128 ? text : palette.color(QPalette::ToolTipText));
    view.setPalette(palette);
}

}  // namespace tunex

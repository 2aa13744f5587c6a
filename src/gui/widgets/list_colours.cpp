#include "gui/widgets/list_colours.h"

#include <QApplication>
#include <QEvent>
#include <QPalette>
#include <QWidget>

namespace tunex {

namespace {

bool isDark(const QColor& colour) {
    return colour.lightness() < 128;
}

void applyInfoColours(QWidget& widget, const QPalette& theme, const QColor& lightText) {
    const InfoColours colours = infoColours(theme, lightText);
    QPalette palette = theme;
    palette.setColor(QPalette::Base, colours.base);
    palette.setColor(QPalette::AlternateBase, colours.base);
    palette.setColor(QPalette::Text, colours.text);
    widget.setPalette(palette);
}

// Puts the colours back from the new application palette when the theme changes; the change is
// announced to the application object, whatever palettes single widgets hold.
class ThemeFollower final : public QObject {
public:
    ThemeFollower(QWidget& widget, QColor lightText)
        : QObject(&widget), widget_(widget), lightText_(lightText) {
        qApp->installEventFilter(this);
    }
    ~ThemeFollower() override { qApp->removeEventFilter(this); }
    Q_DISABLE_COPY_MOVE(ThemeFollower)

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == qApp && event->type() == QEvent::ApplicationPaletteChange) {
            applyInfoColours(widget_, QApplication::palette(&widget_), lightText_);
        }
        return false;
    }

private:
    QWidget& widget_;
    QColor lightText_;
};

}  // namespace

InfoColours infoColours(const QPalette& palette, const QColor& lightText) {
    const QColor tipBase = palette.color(QPalette::ToolTipBase);
    if (!isDark(palette.color(QPalette::Base))) {
        return {tipBase, isDark(tipBase) ? palette.color(QPalette::ToolTipText) : lightText};
    }
    if (isDark(tipBase)) {
        return {tipBase, palette.color(QPalette::ToolTipText)};
    }
    return {palette.color(QPalette::Base), palette.color(QPalette::Text)};
}

void useInfoListColours(QWidget& widget, const QColor& lightText) {
    applyInfoColours(widget, widget.palette(), lightText);
    (void)new ThemeFollower(widget, lightText);
}

}  // namespace tunex

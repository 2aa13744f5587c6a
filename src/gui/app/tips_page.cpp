#include "gui/app/tips_page.h"

#include "gui/app/app_context.h"
#include "platform/qt/qt_text.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace tunex {

namespace {
QString thanksText() {
    return QStringLiteral("Thank you for choosing Tunex.");
}
constexpr int kThanksLeft = 34;
}  // namespace

TipsPage::TipsPage(const AppContext& context, QWidget* parent) : Page(parent) {
    thanksFont_ = QFont(QStringLiteral("Arial"));
    thanksFont_.setStyleHint(QFont::SansSerif);
    thanksFont_.setPixelSize(24);
    thanksFont_.setBold(true);
    thanksFont_.setItalic(true);

    auto* group = new QGroupBox(QStringLiteral("Do you know?"), this);
    tip_ = new QLabel(group);
    tip_->setObjectName(QStringLiteral("tipText"));
    tip_->setWordWrap(true);
    tip_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    tip_->setTextFormat(Qt::PlainText);
    tip_->setMargin(8);
    tip_->setAutoFillBackground(true);
    tip_->setForegroundRole(QPalette::ToolTipText);
    tip_->setBackgroundRole(QPalette::ToolTipBase);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(tip_);

    next_ = new QPushButton(QStringLiteral("Next Tips"), this);
    connect(next_, &QPushButton::clicked, this, &TipsPage::onNextTip);

    // The thank-you line is painted to the left of the button; keep room for all of it.
    const int thanksWidth =
        QFontMetrics(thanksFont_).horizontalAdvance(thanksText()) + kThanksLeft + 16;
    auto* bottom = new QHBoxLayout;
    bottom->addSpacing(thanksWidth);
    bottom->addStretch(1);
    bottom->addWidget(next_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group, 1);
    layout->addLayout(bottom);
    next_->setMinimumHeight(QFontMetrics(thanksFont_).height());

    tips_.load(context.paths().tipsPath());
    onNextTip();
}

QString TipsPage::tipText() const {
    return tip_->text();
}

void TipsPage::onNextTip() {
    tip_->setText(toQString(tips_.next()));
}

void TipsPage::paintEvent(QPaintEvent* event) {
    Page::paintEvent(event);
    QPainter painter(this);
    painter.setFont(thanksFont_);
    const QFontMetrics metrics(thanksFont_);
    const QRect row = next_->geometry();
    const int baseline = row.center().y() + (metrics.ascent() - metrics.descent()) / 2;
    painter.setPen(palette().color(QPalette::Light));
    painter.drawText(kThanksLeft + 1, baseline + 1, thanksText());
    painter.setPen(palette().color(QPalette::Shadow));
    painter.drawText(kThanksLeft, baseline, thanksText());
}

}  // namespace tunex

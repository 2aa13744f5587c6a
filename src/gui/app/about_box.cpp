#include "gui/app/about_box.h"

#include "gui/app/icons.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace tunex {

AboutBox::AboutBox(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About Tunex"));
    setWindowIcon(programIcon());

    auto* icon = new QLabel(this);
    icon->setPixmap(programIcon().pixmap(48, 48));
    auto* version = new QLabel(QStringLiteral("Tunex Version 2.3"), this);
    version->setObjectName(QStringLiteral("versionText"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* row = new QHBoxLayout;
    row->addWidget(icon);
    row->addSpacing(12);
    row->addWidget(version, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace tunex

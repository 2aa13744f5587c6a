#pragma once

#include <QDialog>

namespace tunex {

// "About Tunex": the program icon, its name and version, and OK.
class AboutBox final : public QDialog {
    Q_OBJECT
public:
    explicit AboutBox(QWidget* parent = nullptr);
};

}  // namespace tunex

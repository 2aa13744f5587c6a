#pragma once

#include "gui/app/page_id.h"

#include <QWidget>

#include <array>

class QPushButton;
class QTabWidget;

namespace tunex {

class AppContext;
class HistoryPage;
class Page;

// The main window: nine tabs and the Help, About... and Exit buttons.
// The size of the first start: two thirds of the screen's free area each way, never below the
// opening size nor beyond the area.
[[nodiscard]] QSize firstStartSize(QSize opening, QSize available);

class MainSheet final : public QWidget {
    Q_OBJECT
public:
    explicit MainSheet(AppContext& context, QWidget* parent = nullptr);
    ~MainSheet() override;
    Q_DISABLE_COPY_MOVE(MainSheet)

    void showPage(PageId page);
    // The page a stored start-page number names (see pageOfNumber).
    void showPageNumber(int number) { showPage(pageOfNumber(number)); }
    // Shows the start page and the window, maximised when the settings ask for it.
    void start();

    [[nodiscard]] QTabWidget* tabs() const { return tabs_; }
    [[nodiscard]] Page* page(PageId page) const {
        return pages_[static_cast<size_t>(tabIndex(page))];
    }
    [[nodiscard]] QPushButton* helpButton() const { return help_; }
    [[nodiscard]] QPushButton* aboutButton() const { return about_; }
    [[nodiscard]] QPushButton* exitButton() const { return exit_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void addPage(Page* page, const QString& caption);
    void onTabChanged(int tab);
    void onAbout();
    void onHelp();
    // Writes the settings with the current history once, when the window closes.
    void shutDown();
    // The size, place and maximised state of the last run, when there was one.
    void restoreLastGeometry();
    void saveGeometryOnce();

    AppContext& context_;
    QTabWidget* tabs_;
    std::array<Page*, kPageCount> pages_{};
    HistoryPage* history_ = nullptr;
    QPushButton* help_;
    QPushButton* about_;
    QPushButton* exit_;
    bool shutDown_ = false;
    bool shown_ = false;  // started and not yet closed: the geometry is worth keeping
};

}  // namespace tunex

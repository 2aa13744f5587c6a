#pragma once

#include <QWidget>

#include <array>

class QPushButton;
class QTabWidget;

namespace tunex {

class AppContext;
class HistoryPage;
class Page;

// Page numbers other pages use to switch tabs; the Setting tab has none.
enum PageNumber {
    kSongsPage = 1,
    kFilesPage,
    kHistoryPage,
    kDatabasePage,
    kLocalPage,
    kFileTypePage,
    kFriendPage,
    kTipsPage
};

// The main window: nine tabs and the Help, About... and Exit buttons.
class MainSheet final : public QWidget {
    Q_OBJECT
public:
    static constexpr int kTabCount = 9;

    explicit MainSheet(AppContext& context, QWidget* parent = nullptr);
    ~MainSheet() override;

    // Makes the page with that number the active tab; unknown numbers give Songs.
    void showPage(int pageNumber);
    // Shows the start page and the window, maximised when the settings ask for it.
    void start();

    [[nodiscard]] QTabWidget* tabs() const { return tabs_; }
    [[nodiscard]] Page* page(int tab) const { return pages_[static_cast<size_t>(tab)]; }
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

    AppContext& context_;
    QTabWidget* tabs_;
    std::array<Page*, kTabCount> pages_{};
    HistoryPage* history_ = nullptr;
    QPushButton* help_;
    QPushButton* about_;
    QPushButton* exit_;
    bool shutDown_ = false;
};

}  // namespace tunex

#include "gui/app/main_sheet.h"

#include "gui/app/about_box.h"
#include "gui/app/app_context.h"
#include "gui/app/icons.h"
#include "gui/app/page.h"
#include "gui/app/sheet_keys.h"
#include "gui/app/tips_page.h"
#include "gui/collections/database_page.h"
#include "gui/collections/file_type_page.h"
#include "gui/friend/friend_page.h"
#include "gui/search/files_page.h"
#include "gui/search/history_page.h"
#include "gui/search/setting_page.h"
#include "gui/search/songs_page.h"
#include "gui/tags/local_page.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSizeGrip>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QWhatsThis>

#include <algorithm>
#include <optional>
#include <string>

namespace tunex {

namespace {

// The window's size, place and maximised state at the last close, in the desktop profile.
constexpr const char* kGeometryKey = "MainWindowGeometry";

QPushButton* iconButton(const QString& caption, const QIcon& icon, int iconSize, QWidget* parent) {
    auto* button = new QPushButton(icon, caption, parent);
    button->setIconSize(QSize(iconSize, iconSize));
    button->setAutoDefault(false);
    button->setMinimumWidth(button->sizeHint().width() + 16);
    return button;
}

}  // namespace

MainSheet::MainSheet(AppContext& context, QWidget* parent)
    : QWidget(parent), context_(context), tabs_(new QTabWidget(this)) {
    setWindowTitle(QStringLiteral("Tunex"));
    setWindowIcon(programIcon());
    setObjectName(QStringLiteral("mainSheet"));

    // Pages of features still to come are plain pages with their caption.
    addPage(new SongsPage(context_, this), QStringLiteral("S&ongs"));
    addPage(new FilesPage(context_, this), QStringLiteral("F&iles"));
    history_ = new HistoryPage(context_, this);
    addPage(history_, QStringLiteral("&History"));
    addPage(new DatabasePage(
                context_, [this] { return history_->rows(); }, this),
            QStringLiteral("Data&base"));
    addPage(new LocalPage(context_, this), QStringLiteral("&Local"));
    addPage(new FileTypePage(context_, this), QStringLiteral("File T&ype"));
    addPage(new FriendPage(context_, this), QStringLiteral("Frie&nd"));
    addPage(new SettingPage(context_, this), QStringLiteral("Se&tting"));
    addPage(new TipsPage(context_, this), QStringLiteral("Ti&ps"));
    connect(tabs_, &QTabWidget::currentChanged, this, &MainSheet::onTabChanged);
    connect(&context_, &AppContext::pageRequested, this, &MainSheet::showPage);

    help_ = iconButton(QStringLiteral("Help"), helpIcon(), 26, this);
    about_ = iconButton(QStringLiteral("About..."), aboutIcon(), 26, this);
    exit_ = iconButton(QStringLiteral("Exit"), exitIcon(), 23, this);
    connect(help_, &QPushButton::clicked, this, &MainSheet::onHelp);
    connect(about_, &QPushButton::clicked, this, &MainSheet::onAbout);
    connect(exit_, &QPushButton::clicked, this, &QWidget::close);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(help_);
    buttons->addSpacing(3);
    buttons->addWidget(about_);
    buttons->addStretch(1);
    buttons->addWidget(exit_);
    buttons->addSpacing(20);
    buttons->addWidget(new QSizeGrip(this), 0, Qt::AlignBottom | Qt::AlignRight);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_, 1);
    layout->addLayout(buttons);

    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(f1, &QShortcut::activated, this, &MainSheet::onHelp);
    auto* shiftF1 = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F1), this);
    connect(shiftF1, &QShortcut::activated, this, [] { QWhatsThis::enterWhatsThisMode(); });
    auto* quit = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this);
    connect(quit, &QShortcut::activated, this, &QWidget::close);

    qApp->installEventFilter(this);

    // Open at a size that fits a small screen; the window never gets smaller than that.
    QSize size = sizeHint().expandedTo(QSize(900, 600));
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        size = size.boundedTo(screen->availableGeometry().size() - QSize(40, 60));
    }
    resize(size);
    setMinimumSize(size);
}

MainSheet::~MainSheet() {
    qApp->removeEventFilter(this);
    shutDown();
}

void MainSheet::addPage(Page* page, const QString& caption) {
    const int tab = tabs_->addTab(page, pageIcon(tabs_->count()), caption);
    pages_[static_cast<size_t>(tab)] = page;
}

void MainSheet::showPage(PageId page) {
    tabs_->setCurrentIndex(tabIndex(page));
}

QSize firstStartSize(QSize opening, QSize available) {
    return QSize(available.width() * 2 / 3, available.height() * 2 / 3)
        .expandedTo(opening)
        .boundedTo(available);
}

void MainSheet::restoreLastGeometry() {
    const std::optional<std::string> saved = context_.platform().profileBytes(kGeometryKey);
    if (!saved) {
        // The opening size suits a laptop; a big screen gets more of the lists at once.
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect available = screen->availableGeometry();
            resize(firstStartSize(size(), available.size() - QSize(40, 60)));
            move(available.center() - rect().center());
        }
        return;
    }
    // Qt moves a window that would lie off the present screens back onto one.
    (void)restoreGeometry(QByteArray(saved->data(), static_cast<qsizetype>(saved->size())));
}

void MainSheet::saveGeometryOnce() {
    if (!shown_) {
        return;
    }
    shown_ = false;
    const QByteArray geometry = saveGeometry();
    context_.platform().setProfileBytes(
        kGeometryKey, std::string(geometry.constData(), static_cast<std::size_t>(geometry.size())));
}

void MainSheet::start() {
    // History reads and trims its rows and Files fills its collection list on activation.
    showPage(PageId::History);
    showPage(PageId::Files);
    if (context_.catalogue().collectionCount() == 0) {
        showPage(PageId::Database);
    } else {
        showPageNumber(context_.settings().defaultTab);
    }
    restoreLastGeometry();
    shown_ = true;
    if (context_.settings().startMaximized == 1) {
        showMaximized();
    } else {
        show();
    }
    // Typing goes to the start page's first field at once.
    activateWindow();
    focusPage(*tabs_->currentWidget());
}

void MainSheet::onTabChanged(int tab) {
    if (tab >= 0 && tab < kPageCount) {
        pages_[static_cast<size_t>(tab)]->activate();
        focusPage(*pages_[static_cast<size_t>(tab)]);
    }
}

void MainSheet::onAbout() {
    auto* about = new AboutBox(this);
    about->setAttribute(Qt::WA_DeleteOnClose);
    about->open();
}

void MainSheet::onHelp() {
    const int tab = std::max(tabs_->currentIndex(), 0);
    context_.openHelpPage("index.htm", helpSectionOf(static_cast<PageId>(tab)));
}

bool MainSheet::eventFilter(QObject* watched, QEvent* event) {
    if (tabs_->currentWidget() != nullptr &&
        givePageMnemonicFirst(watched, event, *tabs_->currentWidget(), *tabs_->tabBar())) {
        return true;
    }
    // Enter never acts on the sheet or its pages' controls: no default button, no closing. Lists
    // take it for their rows.
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        auto* widget = qobject_cast<QWidget*>(watched);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && widget != nullptr &&
            widget->window() == this && qobject_cast<QAbstractItemView*>(widget) == nullptr) {
            return event->type() == QEvent::KeyPress;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void MainSheet::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) {
        const bool maximized = isMaximized();
        // The pages with lists set their column widths.
        for (const PageId listPage : {PageId::Songs, PageId::Files, PageId::History}) {
            page(listPage)->setWindowMaximized(maximized);
        }
    }
}

void MainSheet::closeEvent(QCloseEvent* event) {
    saveGeometryOnce();
    shutDown();
    event->accept();
}

void MainSheet::shutDown() {
    if (shutDown_) {
        return;
    }
    shutDown_ = true;
    (void)context_.storeSettings(history_->rows());
}

}  // namespace tunex

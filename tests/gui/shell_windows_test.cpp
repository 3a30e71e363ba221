// The windows as designed: every visible control with its name, kind, caption and geometry, and the
// invisible parts (timers, menus, radio groups, status bar) the program relies on.
// moc needs none of the program's headers, and its own parser stumbles over the C++20 library ones.
#ifndef Q_MOC_RUN
#include "app/qt/application.h"
#include "app/qt/qt_controls.h"
#include "app/qt/window_design.h"
#include "app/qt/windows.h"
#include "base/control_names.h"
#include "base/endpoints.h"
#endif

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

using namespace rankmoth;
using shell::ShellWindow;

namespace {
struct Expected {
    const char* window;
    const char* name;
    const char* kind; // Qt class the control is made of
    const char* caption;
    int x, y, width, height;
    const char* relativeTo; // "" for the window
};

// Positions of the tab pages' controls are relative to the tab control, as designed.
const Expected kControls[] = {
    {"MainWindow", "选择夹1", "QWidget", "", 3, 1, 572, 536, ""},
    {"MainWindow", "超级列表框1", "QTreeWidget", "", 4, 23, 564, 232, "选择夹1"},
    {"MainWindow", "标签7", "QLabel", "宝贝ID个数:", 8, 259, 68, 16, "选择夹1"},
    {"MainWindow", "标签_宝贝ID个数", "QLabel", "", 79, 259, 38, 16, "选择夹1"},
    {"MainWindow", "标签_进度提示", "QLabel", "", 126, 259, 207, 16, "选择夹1"},
    {"MainWindow", "选择框_提示音", "QCheckBox", "查到排名后给提示音", 360, 259, 133, 16, "选择夹1"},
    {"MainWindow", "标签2", "QLabel", "优店ID:", 297, 286, 47, 24, "选择夹1"},
    {"MainWindow", "编辑框_优店ID", "QLineEdit", "", 343, 285, 89, 24, "选择夹1"},
    {"MainWindow", "按钮_自动加载全店宝贝ID", "QPushButton", "自动加载全店宝贝ID", 440, 282, 120, 28, "选择夹1"},
    {"MainWindow", "标签5", "QLabel", "在线客服:", 8, 288, 55, 16, "选择夹1"},
    {"MainWindow", "超级按钮_客服1", "QToolButton", "", 68, 285, 21, 21, "选择夹1"},
    {"MainWindow", "超级按钮_客服2", "QToolButton", "", 101, 285, 21, 21, "选择夹1"},
    {"MainWindow", "超级按钮_客服3", "QToolButton", "", 134, 285, 21, 21, "选择夹1"},
    {"MainWindow", "超级链接框2", "QLabel", "--点击->查看使用教程", 165, 288, 120, 16, "选择夹1"},
    {"MainWindow", "标签15", "QLabel", "优先查询:", 8, 322, 55, 16, "选择夹1"},
    {"MainWindow", "单选框_先查潮流", "QRadioButton", "先查潮流", 69, 324, 72, 16, "选择夹1"},
    {"MainWindow", "单选框_先查最热", "QRadioButton", "先查最热", 145, 324, 72, 16, "选择夹1"},
    {"MainWindow", "单选框_先查最新", "QRadioButton", "先查最新", 222, 324, 72, 16, "选择夹1"},
    {"MainWindow", "标签4", "QLabel", "最多查到第", 298, 323, 71, 16, "选择夹1"},
    {"MainWindow", "编辑框_最多页", "QLineEdit", "100", 363, 318, 44, 23, "选择夹1"},
    {"MainWindow", "标签6", "QLabel", "页", 411, 323, 17, 16, "选择夹1"},
    {"MainWindow", "按钮_导入优店宝贝ID", "QPushButton", "导入优店宝贝ID", 462, 319, 98, 28, "选择夹1"},
    {"MainWindow", "标签10", "QLabel", "大分类:", 8, 363, 45, 16, "选择夹1"},
    {"MainWindow", "组合框_大分类", "QComboBox", "衣服|鞋子|包包|配饰|家居|男友", 56, 361, 56, 20, "选择夹1"},
    {"MainWindow", "标签11", "QLabel", "小分类ID:", 118, 363, 57, 16, "选择夹1"},
    {"MainWindow", "组合框_小分类", "QComboBox", "", 177, 361, 106, 20, "选择夹1"},
    {"MainWindow", "按钮_添加小分类", "QPushButton", "添加分类", 290, 357, 58, 28, "选择夹1"},
    {"MainWindow", "选择框_只看优店", "QCheckBox", "只看优店商品", 360, 360, 93, 24, "选择夹1"},
    {"MainWindow", "按钮_导入优店宝贝ID1", "QPushButton", "打开", 462, 357, 40, 28, "选择夹1"},
    {"MainWindow", "按钮_导入优店宝贝ID2", "QPushButton", "保存", 520, 357, 40, 28, "选择夹1"},
    {"MainWindow", "标签16", "QLabel", "查询间隔:", 8, 403, 56, 16, "选择夹1"},
    {"MainWindow", "编辑框_检索间隔", "QLineEdit", "10", 68, 398, 41, 25, "选择夹1"},
    {"MainWindow", "标签17", "QLabel", "Min", 113, 404, 32, 16, "选择夹1"},
    {"MainWindow", "画板1", "QWidget", "", 141, 397, 168, 24, "选择夹1"},
    {"MainWindow", "单选框_自动监测", "QRadioButton", "自动监测", 4, 8, 72, 16, "画板1"},
    {"MainWindow", "单选框_手动查询", "QRadioButton", "手动查询", 83, 8, 72, 16, "画板1"},
    {"MainWindow", "按钮_查询大类排名", "QPushButton", "查询大类排名", 316, 395, 83, 32, "选择夹1"},
    {"MainWindow", "按钮_查询小类排名", "QPushButton", "查询小类排名", 416, 395, 83, 32, "选择夹1"},
    {"MainWindow", "按钮_停止查询1", "QPushButton", "停止", 515, 395, 45, 32, "选择夹1"},
    {"MainWindow", "图片框1", "QLabel", "", 5, 437, 460, 55, "选择夹1"},
    {"MainWindow", "图片框2", "QLabel", "", 5, 496, 562, 35, "选择夹1"},
    {"MainWindow", "透明标签_Fernlane软件", "QWidget", "", 6, 495, 275, 40, "选择夹1"},
    {"MainWindow", "透明标签_Tarnbay软件", "QWidget", "", 290, 494, 275, 40, "选择夹1"},
    {"MainWindow", "超文本浏览框2", "QTextBrowser", "", 4, 22, 565, 510, "选择夹1"},
    {"UpdateWindow", "图片框1", "QLabel", "", 8, 11, 270, 40, ""},
    {"UpdateWindow", "标签8", "QLabel", "下载成功", 51, 25, 96, 16, ""},
    {"UpdateWindow", "标签2", "QLabel", "", 11, 52, 328, 16, ""},
    {"UpdateWindow", "进度条1", "QProgressBar", "", 10, 69, 329, 16, ""},
    {"UpdateWindow", "标签10", "QLabel", "文件大小:", 9, 89, 162, 17, ""},
    {"UpdateWindow", "标签11", "QLabel", "已下载:", 175, 89, 180, 16, ""},
    {"UpdateWindow", "标签7", "QLabel", "下载到:", 8, 106, 337, 16, ""},
    {"UpdateWindow", "标签1", "QLabel", "传输速度:", 9, 125, 168, 13, ""},
    {"UpdateWindow", "标签3", "QLabel", "平均速度:", 175, 125, 160, 12, ""},
    {"UpdateWindow", "标签4", "QLabel", "已完成:", 10, 140, 96, 16, ""},
    {"UpdateWindow", "标签9", "QLabel", "剩余时间:", 176, 139, 143, 16, ""},
};

QString CaptionOf(QWidget* w) {
    if (auto* combo = qobject_cast<QComboBox*>(w)) {
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        return items.join('|');
    }
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        return edit->text();
    if (auto* button = qobject_cast<QAbstractButton*>(w))
        return button->text();
    if (auto* label = qobject_cast<QLabel*>(w))
        return label->property("caption").isValid() ? label->property("caption").toString() : label->text();
    return {};
}
} // namespace

class ShellWindowsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<ShellWindow> main_;
    std::unique_ptr<ShellWindow> update_;

    QWidget* Window(const QString& name) { return name == "MainWindow" ? main_.get() : update_.get(); }

private slots:
    void initTestCase() {
        main_.reset(shell::BuildMainWindow());
        update_.reset(shell::BuildUpdateWindow());
        main_->show();
        update_->show();
        QVERIFY(QTest::qWaitForWindowExposed(main_.get()));
    }

    void controls_data() {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("relativeTo");
        for (const Expected& e : kControls)
            QTest::newRow(QByteArray(e.window) + "/" + e.name)
                << QString::fromUtf8(e.window) << QString::fromUtf8(e.name) << QString(e.kind)
                << QString::fromUtf8(e.caption) << QRect(e.x, e.y, e.width, e.height)
                << QString::fromUtf8(e.relativeTo);
    }

    void controls() {
        QFETCH(QString, window);
        QFETCH(QString, name);
        QFETCH(QString, kind);
        QFETCH(QString, caption);
        QFETCH(QRect, geometry);
        QFETCH(QString, relativeTo);
        QWidget* w = Window(window)->findChild<QWidget*>(name);
        QVERIFY2(w, qPrintable(name));
        QVERIFY2(w->inherits(kind.toLatin1()), w->metaObject()->className());
        QCOMPARE(CaptionOf(w), caption);
        QWidget* container = relativeTo.isEmpty() ? Window(window) : Window(window)->findChild<QWidget*>(relativeTo);
        QVERIFY(container);
        QCOMPARE(QRect(w->mapTo(container, QPoint(0, 0)), w->size()), geometry);
        // Every control says which design control it is, for assistive tools and for the tests of others.
        QCOMPARE(w->accessibleDescription(), name);
    }

    void windows() {
        QCOMPARE(main_->size(), QSize(583, 591));
        QCOMPARE(update_->size(), QSize(354, 200));
        QCOMPARE(
            main_->windowTitle(),
            QString("Rankmoth V1.1  客服QQ:%1 或 %2").arg(base::links::kSupportAccountA, base::links::kSupportAccountB));
        QCOMPARE(update_->windowTitle(), QString("软件正在更新..请稍等..."));
        QVERIFY(!main_->windowIcon().isNull());
        QCOMPARE(main_->windowIcon().pixmap(16, 16).size(), QSize(16, 16));
    }

    void tabPagesAndList() {
        auto* tabs = dynamic_cast<shell::TabControl*>(main_->findChild<QWidget*>("选择夹1"));
        QVERIFY(tabs);
        // The history page comes after the two the start tab may name, so indexes 0 and 1 keep their meaning.
        QCOMPARE(tabs->count(), 3);
        QCOMPARE(tabs->tabText(0), QString("操作面板"));
        QCOMPARE(tabs->tabText(1), QString("使用帮助"));
        QCOMPARE(tabs->tabText(2), QString("排名历史"));

        auto* list = main_->findChild<QTreeWidget*>("超级列表框1");
        const QStringList titles = {"序号", "宝贝ID", "排名位置", "最新最热", "查询时间"};
        const int widths[] = {50, 70, 215, 68, 130};
        QCOMPARE(list->columnCount(), 5);
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(list->headerItem()->text(i), titles[i]);
            QCOMPARE(list->columnWidth(i), widths[i]);
        }
        auto* help = main_->findChild<QTextBrowser*>("超文本浏览框2");
        QVERIFY(help->toPlainText().contains("查询大类排名"));
    }

    void statusBarTimersAndMenus() {
        auto* status = dynamic_cast<shell::PartStatusBar*>(main_->findChild<QWidget*>("状态条1"));
        QVERIFY(status);
        QCOMPARE(status->partCount(), 2);
        QCOMPARE(status->part(0)->width(), 126);
        QVERIFY(status->part(1)->width() > 300);
        QCOMPARE(status->geometry().bottom(), main_->height() - 1);

        const std::pair<const char*, int> timers[] = {{"时钟_监测间隔", 0},
                                                      {"时钟_在线统计", 120000},
                                                      {"时钟_网站配置", 0},
                                                      {"时钟_自动检索", 0},
                                                      {"时钟_靠侧边", 0}};
        for (const auto& [name, interval] : timers) {
            auto* timer = main_->findChild<QTimer*>(name);
            QVERIFY2(timer, name);
            QCOMPARE(timer->isActive() ? timer->interval() : 0, interval);
        }
        for (const char* name : {"时钟1", "时钟2"})
            QVERIFY(update_->findChild<QTimer*>(name) && !update_->findChild<QTimer*>(name)->isActive());

        const std::pair<const char*, QStringList> menus[] = {
            {"托盘菜单", {"下载Fernlane软件", "下载Tarnbay软件", "代理赚钱", "帮助", "退出"}},
            {"右键菜单", {"打开宝贝", "打开宝贝所在页 [大类]   ", "打开宝贝所在页 [小类]"}}};
        for (const auto& [name, entries] : menus) {
            auto* menu = main_->findChild<QMenu*>(name);
            QVERIFY2(menu, name);
            QStringList texts;
            for (QAction* action : menu->actions())
                texts << action->text();
            QCOMPARE(texts, entries);
        }
    }

    void radioGroupsByContainer() {
        const auto radio = [this](const char* name) { return main_->findChild<QRadioButton*>(name); };
        radio("单选框_先查最热")->setChecked(true);
        radio("单选框_自动监测")->setChecked(true);
        radio("单选框_先查最新")->setChecked(true);
        // Selecting in one group leaves the other alone.
        QVERIFY(!radio("单选框_先查最热")->isChecked());
        QVERIFY(radio("单选框_自动监测")->isChecked());
        radio("单选框_手动查询")->setChecked(true);
        QVERIFY(!radio("单选框_自动监测")->isChecked());
        QVERIFY(radio("单选框_先查最新")->isChecked());
        QVERIFY(radio("单选框_先查潮流")->group() != radio("单选框_手动查询")->group());
    }

    void parkedControlsExistOutOfSight() {
        for (const char* name : {"编辑框_关键词", "标签_提示"}) {
            QWidget* w = main_->findChild<QWidget*>(name);
            QVERIFY2(w, name);
            QVERIFY(!main_->rect().intersects(QRect(w->mapTo(main_.get(), QPoint(0, 0)), w->size())));
            QVERIFY(w->focusPolicy() != Qt::TabFocus && w->focusPolicy() != Qt::StrongFocus);
        }
        QCOMPARE(main_->findChild<QLabel*>("标签_提示")->text(), QString("关键词可以为: 宝贝ID"));
        QVERIFY(update_->findChild<QWidget*>("图片框1")->isHidden());
        QVERIFY(update_->findChild<QWidget*>("标签8")->isHidden());
    }

    void coloursAndFonts() {
        const std::pair<const char*, QColor> colours[] = {{"选择框_提示音", QColor(0, 136, 255)},
                                                          {"选择框_只看优店", QColor(255, 80, 128)}};
        for (const auto& [name, colour] : colours)
            QCOMPARE(main_->findChild<QWidget*>(name)->palette().color(QPalette::WindowText), colour);
        // Missing Windows fonts fall back to an installed family that has Chinese glyphs.
        const QString yahei = main_->findChild<QWidget*>("标签5")->font().family();
        const QString song = main_->findChild<QWidget*>("标签10")->font().family();
        QCOMPARE(yahei, shell::FontFamilyFor("微软雅黑"));
        QCOMPARE(song, shell::FontFamilyFor("宋体"));
        QVERIFY(QFontMetrics(main_->findChild<QWidget*>("标签5")->font()).inFontUcs4(U'客'));
    }

    void accessibleNamesSayWhatEachInputIs() {
        const std::pair<const char*, const char*> names[] = {{"编辑框_优店ID", "优店ID"},
                                                             {"编辑框_最多页", "最多查到第…页"},
                                                             {"编辑框_检索间隔", "查询间隔（分钟）"},
                                                             {"组合框_大分类", "大分类"},
                                                             {"组合框_小分类", "小分类ID"},
                                                             {"选择框_提示音", "查到排名后给提示音"},
                                                             {"超级列表框1", "查询结果"},
                                                             {"状态条1", "状态栏"},
                                                             {"超级按钮_客服1", "在线客服1"}};
        for (const auto& [control, name] : names)
            QCOMPARE(main_->findChild<QWidget*>(control)->accessibleName(), QString(name));
        // Labels and status parts are named by their texts; what they are for is in the description.
        auto* status = dynamic_cast<shell::PartStatusBar*>(main_->findChild<QWidget*>("状态条1"));
        QCOMPARE(status->part(0)->accessibleDescription(), QString("程序状态"));
        QCOMPARE(status->part(1)->accessibleDescription(), QString("进度和结果"));
        for (QWidget* window : {static_cast<QWidget*>(main_.get()), static_cast<QWidget*>(update_.get())})
            for (QLabel* label : window->findChildren<QLabel*>())
                if (!label->property("caption").isValid() && label->pixmap().isNull())
                    QVERIFY2(label->accessibleName().isEmpty(), qPrintable(label->objectName()));
    }

    void tabOrderFollowsTheLayout() {
        // From the shop ID box the keyboard goes right to its button, then down to the next row.
        QWidget* shopId = main_->findChild<QWidget*>("编辑框_优店ID");
        QCOMPARE(shopId->nextInFocusChain()->objectName(), QString("按钮_自动加载全店宝贝ID"));
        QWidget* pages = main_->findChild<QWidget*>("编辑框_最多页");
        QWidget* after = pages->nextInFocusChain();
        QCOMPARE(after->objectName(), QString("按钮_导入优店宝贝ID"));
    }

    // The core and the test fakes take these names on trust; the built windows must answer every one, or a
    // write to it would be dropped without a word.
    void everyNamedControlIsBuilt() {
        struct Host : shell::WindowHost {
            ShellWindowsTest& t;
            explicit Host(ShellWindowsTest& test) : t(test) {}
            QWidget* FindWindow(std::string_view name) override { return t.Window(shell::QtName(name)); }
            void LoadWindow(std::string_view, bool) override {}
            void CloseWindow(std::string_view) override {}
            int ShowMessageBox(const QString&, int, const QString&) override { return base::kButtonOk; }
            void OpenAddress(const std::string&) override {}
            void PlayAlertSound() override {}
            void EndProgram(int) override {}
        } host(*this);
        shell::QtControls controls(host);
        for (std::string_view name : base::names::main_window::kAll)
            QVERIFY2(controls.Find(base::kMainWindow, name), std::string(name).c_str());
        for (std::string_view name : base::names::update_window::kAll)
            QVERIFY2(controls.Find(base::kUpdateWindow, name), std::string(name).c_str());
    }
};

QTEST_MAIN(ShellWindowsTest)
#include "shell_windows_test.moc"

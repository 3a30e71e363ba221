// The Qt control layer on the real windows: what assistive tools read, the status parts, the marshalling
// of a worker's calls, lists, unknown names and the real message box.
#include "tests/gui/shell_fixture.h"

// moc needs none of the program's headers, and its own parser stumbles over the C++20 library ones.
#ifndef Q_MOC_RUN
#include "app/qt/qt_translations.h"
#include "app/qt/window_design.h"
#endif

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QToolTip>
#include <QTreeWidget>
#include <QtTest>

#include <atomic>
#include <thread>

using namespace rankmoth;
using shell::Application;

class ShellControlsTest : public QObject, protected testing::ShellFixture {
    Q_OBJECT

private slots:
    void init() { Begin(); }
    void cleanup() { End(); }

    // What a screen reader hears: each label's current text, captions as shown, the windows as frames.
    void assistiveTechnologyReadsWhatTheLabelsShow() {
        Make();
        StartAndSettle();
        auto& c = app_->controls();
        const auto name = [](QObject* o) {
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(o);
            return a ? a->text(QAccessible::Name) : QString("<none>");
        };
        c.SetStatusText(base::kMainWindow, "状态条1", 0, " 正在查询"_gbk);
        c.SetStatusText(base::kMainWindow, "状态条1", 1, " 宝贝ID加载完成，总共加载了45个宝贝ID。"_gbk);
        c.SetText(base::kMainWindow, "标签_宝贝ID个数", Text("45"));
        c.SetText(base::kMainWindow, "标签_进度提示", "正在查询第3个，宝贝ID:52000103"_gbk);
        c.SetText(base::kUpdateWindow, "标签4", "已完成:42%"_gbk);

        auto* status = dynamic_cast<shell::PartStatusBar*>(Main<QWidget>("状态条1"));
        QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(status);
        QVERIFY(bar);
        QStringList heard;
        for (int i = 0; i < bar->childCount(); ++i)
            heard << bar->child(i)->text(QAccessible::Name);
        QCOMPARE(heard, (QStringList{" 正在查询", " 宝贝ID加载完成，总共加载了45个宝贝ID。"}));
        QCOMPARE(name(Main<QWidget>("标签_宝贝ID个数")), QString("45"));
        QCOMPARE(name(Main<QWidget>("标签_进度提示")), QString("正在查询第3个，宝贝ID:52000103"));
        QCOMPARE(name(app_->updateWindow()->findChild<QWidget*>("标签4")), QString("已完成:42%"));
        QCOMPARE(name(Main<QWidget>("标签7")), QString("宝贝ID个数:"));
        QCOMPARE(
            QAccessible::queryAccessibleInterface(Main<QWidget>("标签_宝贝ID个数"))->text(QAccessible::Description),
            QString("标签_宝贝ID个数"));
        for (QWidget* window :
             {static_cast<QWidget*>(app_->mainWindow()), static_cast<QWidget*>(app_->updateWindow())}) {
            QAccessibleInterface* frame = QAccessible::queryAccessibleInterface(window);
            QCOMPARE(frame->role(), QAccessible::Window);
            QCOMPARE(frame->text(QAccessible::Name), window->windowTitle());
        }
    }

    // The state part is 126 pixels wide: every state fits it at the counts of a large shop, and the sentence
    // behind the state waits in its tip and is what assistive tools describe it by.
    void statePartFitsItsTextsAndHoldsTheSentence() {
        Make();
        StartAndSettle();
        auto& c = app_->controls();
        auto* status = dynamic_cast<shell::PartStatusBar*>(Main<QWidget>("状态条1"));
        QLabel* part = status->part(0);
        const int usual = QFontInfo(status->font()).pixelSize();
        const std::pair<const char*, bool> states[] = {
            {" 正在查询", false},           {" 查询完成 45/45", false},      {" 查询未完成 999/999", false},
            {" 查询完成 5000/5000", false}, {" 查询未完成 5000/5000", true}, {" 已停止 5000/5000", false},
            {" 查询完成 45/45", false}};
        for (const auto& [state, smaller] : states) {
            c.SetStatusText(base::kMainWindow, "状态条1", 0, Text::FromUtf8(state));
            DrainEvents();
            QCOMPARE(part->text(), QString(state));
            QVERIFY2(part->sizeHint().width() <= part->width(),
                     qPrintable(QString("%1: %2 px").arg(state).arg(part->sizeHint().width())));
            // Smaller only where the usual size would not fit.
            QCOMPARE(QFontInfo(part->font()).pixelSize() < usual, smaller);
        }
        const QString sentence = "11 个请求失败（连接被拒绝），5/45 个宝贝已找到，其余未查完";
        const auto description = [part] {
            return QAccessible::queryAccessibleInterface(part)->text(QAccessible::Description);
        };
        c.SetToolTip(base::kMainWindow, "状态条1#0", Text::FromUtf8(sentence.toStdString()));
        DrainEvents();
        QCOMPARE(part->toolTip(), sentence);
        QCOMPARE(description(), sentence);
        // Read when the user looks, never popped up: a pass may end while the user works elsewhere.
        QVERIFY(!QToolTip::isVisible());
        QVERIFY(!app_->mainWindow()->findChild<QLabel*>("hintTip"));
        c.SetToolTip(base::kMainWindow, "状态条1#0", Text());
        DrainEvents();
        QCOMPARE(part->toolTip(), QString());
        QCOMPARE(description(), QString("程序状态"));
        QCOMPARE(status->part(1)->toolTip(), QString());
    }

    // Qt's own dialogs in the user's language, and back when the language has no words of Qt's.
    void qtDialogsSpeakTheUsersLanguage() {
        Make();
        const auto fileDialogWords = [] {
            QFileDialog dialog;
            dialog.setOption(QFileDialog::DontUseNativeDialog);
            dialog.setAcceptMode(QFileDialog::AcceptSave);
            QStringList words;
            for (QLabel* label : dialog.findChildren<QLabel*>())
                words << label->text();
            for (QAbstractButton* button : dialog.findChildren<QPushButton*>())
                words << button->text();
            return words.join('|');
        };
        QVERIFY(shell::InstallQtTranslations(QLocale(QLocale::Chinese, QLocale::China)));
        const QString chinese = fileDialogWords();
        QVERIFY2(chinese.contains("取消") && chinese.contains("文件名"), qPrintable(chinese));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString("取消"));
        QVERIFY(!shell::InstallQtTranslations(QLocale::c()));
        QVERIFY2(fileDialogWords().contains("Cancel"), qPrintable(fileDialogWords()));
    }

    void aWorkerThreadsWritesLandOnTheWindowThread() {
        Make();
        StartAndSettle();
        auto* edit = Main<QLineEdit>("编辑框_优店ID");
        QThread* writer = nullptr;
        connect(
            edit, &QLineEdit::textChanged, this, [&] { writer = QThread::currentThread(); }, Qt::DirectConnection);
        auto& controls = app_->controls();
        Text readBack;
        std::atomic<int> row{-1};
        std::thread worker([&] {
            controls.SetText(base::kMainWindow, "编辑框_优店ID", "优店"_gbk);
            readBack = controls.GetText(base::kMainWindow, "编辑框_优店ID");
            const int added = controls.AddRow(base::kMainWindow, "超级列表框1", Text("1"));
            controls.SetCellText(base::kMainWindow, "超级列表框1", added, 2, "在第"_gbk);
            row = added;
        });
        // The worker's calls wait for the window thread, which keeps turning here.
        QTRY_VERIFY(row >= 0);
        worker.join();
        QCOMPARE(writer, qApp->thread());
        QCOMPARE(readBack, "优店"_gbk);
        QTRY_COMPARE(Main<QTreeWidget>("超级列表框1")->topLevelItem(row)->text(2), QString("在第"));
    }

    void listCellColoursAndPaletteColours() {
        Make();
        StartAndSettle();
        auto& c = app_->controls();
        auto* list = Main<QTreeWidget>("超级列表框1");
        QCOMPARE(c.ListTextColour(base::kMainWindow, "超级列表框1"),
                 shell::QtControls::ToColour(list->palette().color(QPalette::Text)));
        QCOMPARE(c.ListBackgroundColour(base::kMainWindow, "超级列表框1"),
                 shell::QtControls::ToColour(list->palette().color(QPalette::Base)));
        const int row = c.AddRow(base::kMainWindow, "超级列表框1", Text("1"));
        c.SetCellColours(base::kMainWindow, "超级列表框1", row, 3, base::Rgb(255, 255, 255), base::Rgb(255, 0, 0));
        QCOMPARE(list->topLevelItem(row)->foreground(3).color(), QColor(255, 255, 255));
        QCOMPARE(list->topLevelItem(row)->background(3).color(), QColor(255, 0, 0));
        // Out of range cells are ignored rather than crash.
        c.SetCellColours(base::kMainWindow, "超级列表框1", 5, 3, 0, 0);
        c.SetCellText(base::kMainWindow, "超级列表框1", row, 9, Text("x"));
        QCOMPARE(c.CellText(base::kMainWindow, "超级列表框1", 7, 0), Text());
        QCOMPARE(c.RowCount(base::kMainWindow, "超级列表框1"), 1);
        c.DeleteAllRows(base::kMainWindow, "超级列表框1");
        QCOMPARE(c.RowCount(base::kMainWindow, "超级列表框1"), 0);
    }

    void unknownControlsReadEmptyAndIgnoreWrites() {
        Make();
        StartAndSettle();
        auto& c = app_->controls();
        c.SetText(base::kMainWindow, "没有这个控件", Text("x"));
        QCOMPARE(c.GetText(base::kMainWindow, "没有这个控件"), Text());
        QCOMPARE(c.IsChecked("NoSuchWindow", "选择框_提示音"), false);
        QCOMPARE(c.ComboSelection(base::kMainWindow, "没有这个控件"), -1);
        QCOMPARE(c.RowCount(base::kMainWindow, "没有这个控件"), -1);
        c.SetCurrentTab(base::kMainWindow, "选择夹1", 7);
        QCOMPARE(dynamic_cast<shell::TabControl*>(Main<QWidget>("选择夹1"))->currentIndex(), 0);
        c.SelectComboEntry(base::kMainWindow, "组合框_大分类", 3);
        QCOMPARE(
            c.ComboEntryText(base::kMainWindow, "组合框_大分类", c.ComboSelection(base::kMainWindow, "组合框_大分类")),
            "配饰"_gbk);
        c.SetTimerInterval(base::kMainWindow, "时钟_监测间隔", 60000);
        QCOMPARE(c.TimerInterval(base::kMainWindow, "时钟_监测间隔"), 60000);
        c.SetTimerInterval(base::kMainWindow, "时钟_监测间隔", 0);
        QCOMPARE(c.TimerInterval(base::kMainWindow, "时钟_监测间隔"), 0);
    }

    void theRealMessageBoxHasCaptionIconAndAnswersOk() {
        Make();
        app_->messageBox = nullptr;
        StartAndSettle();
        QString title;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QTimer closer;
        connect(&closer, &QTimer::timeout, this, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                title = box->windowTitle();
                icon = box->icon();
                box->button(QMessageBox::Ok)->click();
            }
        });
        closer.start(10);
        const int answer = app_->controls().MessageBox("无法连接到服务器!部分功能可能无法使用"_gbk,
                                                       base::kIconExclamation, "提示"_gbk);
        QCOMPARE(answer, base::kButtonOk);
        QCOMPARE(title, QString("提示"));
        QCOMPARE(icon, QMessageBox::Warning);
    }
};

QTEST_MAIN(ShellControlsTest)
#include "shell_controls_test.moc"

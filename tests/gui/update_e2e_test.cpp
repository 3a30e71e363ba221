// The self-update through the real windows and the real program against rankmoth-sim: a newer version is
// downloaded, unpacked and its updater started; a download killed halfway is resumed by the next run.
// moc stumbles over <concepts> unless a standard header has been read before the project's.
#include <memory>
#include <optional>

#include "base/endpoints.h"
#include "app/qt/application.h"
#include "app/qt/windows.h"
#include "tests/update/update_test_support.h"
#include "update/notice_check.h"
#include "update/notice_fetch.h"
#include "update/update_hooks.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QtTest>

using namespace rankmoth;

namespace {

QString BuildPath(const char* relative, const char* envName) {
    if (const char* given = std::getenv(envName))
        return QString::fromLocal8Bit(given);
    return QDir(QCoreApplication::applicationDirPath() + "/../../" + relative).absolutePath();
}

// Waits with the event loop running until `condition` holds or `limitMs` passes.
bool WaitFor(const std::function<bool()>& condition, int limitMs) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > limitMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    return true;
}

qint64 SizeOf(const QString& path) {
    QFileInfo info(path);
    return info.exists() ? info.size() : -1;
}

// rankmoth-sim on free loopback ports, stopped when it goes out of scope.
class Sim {
public:
    Sim(const QString& dir, QStringList options) : dir_(dir) {
        QFile::remove(dir_ + "/sim.port");
        QFile::remove(dir_ + "/archive.port");
        options << "--port=0" << "--port-file=" + dir_ + "/sim.port" << "--archive-port-file=" + dir_ + "/archive.port";
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.setStandardOutputFile(QProcess::nullDevice());
        process_.start(BuildPath("tools/sim/rankmoth-sim", "RANKMOTH_SIM_BIN"), options);
        ready_ = process_.waitForStarted(5000) &&
                 WaitFor([this] { return SizeOf(dir_ + "/sim.port") > 0 && SizeOf(dir_ + "/archive.port") > 0; },
                         10000);
        if (ready_) {
            QFile file(dir_ + "/sim.port");
            file.open(QIODevice::ReadOnly);
            port_ = file.readAll().trimmed().toInt();
        }
    }
    ~Sim() {
        process_.terminate();
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }
    bool ready() const { return ready_ && port_ > 0; }
    QString NoticeUrl(const char* blogId) const {
        return QString("http://127.0.0.1:%1/w2/blogDetail.do?hostID=pellwood&blogId=%2").arg(port_).arg(blogId);
    }

private:
    QString dir_;
    QProcess process_;
    bool ready_ = false;
    int port_ = 0;
};

constexpr const char* kNewerNotice = "--version-notice=111|1|{archive}|v2/|||||http://dl.example/page|";

} // namespace

class UpdateE2eTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        if (!QFileInfo::exists(BuildPath("tools/sim/rankmoth-sim", "RANKMOTH_SIM_BIN")))
            QSKIP("rankmoth-sim is not built");
    }

    void newerVersionIsDownloadedUnpackedAndStarted() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const std::string archive = (dir.path() + "/source.zip").toStdString();
        QVERIFY(testing::MakeZip(archive, {{"m_update.exe",
                                            "#!/bin/sh\necho ran > \"$(dirname \"$0\")/m_update.ran\"\n", 0100755},
                                           {"payload.bin", testing::PatternBytes(300000, 5), 0100644}}));
        const qint64 archiveSize = SizeOf(QString::fromStdString(archive));
        Sim sim(dir.path(), {kNewerNotice, "--update-archive=" + QString::fromStdString(archive)});
        QVERIFY(sim.ready());

        shell::Application::Options options;
        options.configFile = (dir.path() + "/config.ini").toStdString();
        options.bindCore = false;
        options.trayAvailable = false;
        options.historyFile = (dir.path() + "/history.sqlite").toStdString();
        shell::Application application(options);
        QStringList boxes;
        std::vector<std::string> opened;
        std::optional<int> ended;
        application.messageBox = [&](const QString& text, int, const QString&) {
            boxes << text;
            return base::kButtonOk;
        };
        application.openAddress = [&](const std::string& address) { opened.push_back(address); };
        application.endProgram = [&](int code) { ended = code; };
        const std::string work = dir.path().toStdString();
        const std::string versionUrl = sim.NoticeUrl("1330001").toStdString();
        const std::string startTabUrl = sim.NoticeUrl("1330002").toStdString();
        update::BindUpdateActions(
            [&] {
                return update::UpdateEnv{application.controls(), versionUrl, startTabUrl, update::NoticeTextFetch(),
                                         options.configFile, work, work};
            },
            application.hooks());

        application.Start();
        QVERIFY(WaitFor([&] { return ended.has_value(); }, 30000));
        QCOMPARE(*ended, 0);

        QWidget* window = application.updateWindow();
        QVERIFY(window);
        const auto label = [&](const char* name) {
            auto* l = window->findChild<QLabel*>(QString::fromUtf8(name));
            return l ? l->text() : QString("<missing>");
        };
        // The percentage is the size over a hundredth of it, truncated twice: a little over 100 at the end.
        QCOMPARE(label("标签4"), QString::fromUtf8("已完成:%1%").arg(archiveSize / (archiveSize / 100)));
        QVERIFY2(label("标签2").startsWith(QString::fromUtf8("m_update.zip (来自 127.0.0.1:")), qPrintable(label("标签2")));
        QVERIFY(label("标签7").startsWith(QString::fromUtf8("下载到:")));
        QVERIFY(label("标签11").startsWith(QString::fromUtf8("已下载:")));
        auto* done = window->findChild<QLabel*>(QString::fromUtf8("标签8"));
        QVERIFY(done && !done->isHidden());
        auto* bar = window->findChild<QProgressBar*>(QString::fromUtf8("进度条1"));
        QVERIFY(bar && bar->value() == 100);
        QVERIFY(!application.mainWindow());

        // The demo updater is a shell script that leaves its mark beside itself.
        QVERIFY(WaitFor([&] { return QFileInfo::exists(dir.path() + "/m_update.ran"); }, 10000));
        QVERIFY(!QFileInfo::exists(dir.path() + "/m_update.zip"));
        QVERIFY(!QFileInfo::exists(dir.path() + "/m_update.zip.tmp"));
        QCOMPARE(opened, std::vector<std::string>{"http://dl.example/page"});
        QCOMPARE(boxes.size(), 1);
        QVERIFY(boxes[0].startsWith(QString::fromUtf8("自动更新失败！")));
    }

    void killedDownloadIsResumedByTheNextRun() {
        const QString program = BuildPath("app/qt/rankmoth", "RANKMOTH_BIN");
        if (!QFileInfo::exists(program))
            QSKIP("rankmoth is not built");
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString work = dir.path() + "/run";
        QVERIFY(QDir().mkpath(work));
        // The program keeps its settings beside itself: a copy of its own keeps them in this test's directory.
        QVERIFY(QFile::copy(program, work + "/rankmoth"));

        const std::string payload = testing::PatternBytes(6 * 1024 * 1024, 11);
        const std::string archive = (dir.path() + "/source.zip").toStdString();
        QVERIFY(testing::MakeZip(archive, {{"m_update.exe",
                                            "#!/bin/sh\necho ran > \"$(dirname \"$0\")/m_update.ran\"\n", 0100755},
                                           {"payload.bin", payload, 0100644}}));
        const qint64 archiveSize = SizeOf(QString::fromStdString(archive));

        const auto runProgram = [&](QProcess& process, const Sim& sim) {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("QT_QPA_PLATFORM", "offscreen");
            env.insert("RANKMOTH_VERSION_NOTICE_URL", sim.NoticeUrl("1330001"));
            env.insert("RANKMOTH_START_TAB_NOTICE_URL", sim.NoticeUrl("1330002"));
            process.setProcessEnvironment(env);
            process.setWorkingDirectory(work);
            process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            process.start(work + "/rankmoth", {});
            return process.waitForStarted(5000);
        };
        const auto stop = [](QProcess& process) {
            process.kill();
            process.waitForFinished(5000);
        };
        const QString tmp = work + "/m_update.zip.tmp";

        qint64 partial = 0;
        {
            Sim stalling(dir.path(), {kNewerNotice, "--update-archive=" + QString::fromStdString(archive),
                                      "--archive-fault=stall", "--archive-fault-after=2000000",
                                      "--archive-log=" + dir.path() + "/first.log"});
            QVERIFY(stalling.ready());
            QProcess first;
            QVERIFY(runProgram(first, stalling));
            const bool started = WaitFor([&] { return SizeOf(tmp) >= 1900000; }, 30000);
            stop(first);
            QVERIFY2(started, "the first run did not get halfway");
            partial = SizeOf(tmp);
            QVERIFY(partial > 0 && partial < archiveSize);
        }
        {
            Sim serving(dir.path(), {kNewerNotice, "--update-archive=" + QString::fromStdString(archive),
                                     "--archive-log=" + dir.path() + "/second.log"});
            QVERIFY(serving.ready());
            QProcess second;
            QVERIFY(runProgram(second, serving));
            const bool ran = WaitFor([&] { return QFileInfo::exists(work + "/m_update.ran"); }, 30000);
            stop(second);
            QVERIFY2(ran, "the updater of the resumed download did not run");
        }
        QFile log(dir.path() + "/second.log");
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray requests = log.readAll();
        QVERIFY2(requests.contains("Range: bytes=" + QByteArray::number(partial) + "-\r\n"), requests.constData());
        // The archive unpacked whole and its CRCs held: the joined download was the archive byte for byte.
        QCOMPARE(testing::ReadFile((work + "/payload.bin").toStdString()) == payload, true);
        QVERIFY(!QFileInfo::exists(tmp));
        QVERIFY(!QFileInfo::exists(work + "/m_update.zip"));
    }
};

QTEST_MAIN(UpdateE2eTest)
#include "update_e2e_test.moc"

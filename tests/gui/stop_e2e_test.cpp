// The window's Stop button against a market that drips its answer two bytes at a time: the transfer under
// way is aborted, so the pass ends within a second of the click instead of when the answer would have come.
#ifndef Q_MOC_RUN
#include "app/qt/application.h"
#include "app/qt/compose.h"
#include "base/endpoints.h"
#include "tests/gui/sim_program.h"
#include "tests/support/raw_http_server.h"
#include "web/cookie_jar.h"
#endif

#include <QAbstractButton>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>

using namespace rankmoth;
using namespace std::chrono_literals;

class StopE2eTest : public QObject, protected testing::SimProgram {
    Q_OBJECT

private:
    std::unique_ptr<testing::RawHttpServer> drip_;
    std::unique_ptr<shell::CoreContext> core_;

private slots:
    void initTestCase() {
        if (!StartSim())
            QSKIP("rankmoth-sim is not built");
        drip_ = std::make_unique<testing::RawHttpServer>([](const testing::RawRequest&) {
            return testing::RawReply::Trickle(
                "HTTP/1.1 200 OK\r\nContent-Length: 4000\r\n\r\n" + std::string(4000, 'd'), 2, 1000ms);
        });
        MakeProgram();

        base::Endpoints endpoints = base::Endpoints::FromEnvironment();
        endpoints.marketHost = drip_->HostPort();
        core_.reset(new shell::CoreContext{app_->controls(), app_->pump(), endpoints,
                                           web::WebEnv{app_->pump(), app_->controls(), web::ProcessCookieJar()}});
        shell::BindRankHooks(*core_, app_->hooks());

        StartAndSettle();
        Main<QLineEdit>("编辑框_优店ID")->setText("demo");
        Main<QAbstractButton>("按钮_自动加载全店宝贝ID")->click();
        QTRY_COMPARE_WITH_TIMEOUT(Main<QLabel>("标签_宝贝ID个数")->text(), QString("45"), 60000);
    }

    void stopDuringADripEndsThePassWithinASecond() {
        Main<QLineEdit>("编辑框_最多页")->setText("1");
        // The walk runs inside the window's own event dispatching, so the click comes from a timer there,
        // while the first listing page is still dripping in.
        QElapsedTimer sinceStop;
        QTimer::singleShot(1500, this, [this, &sinceStop] {
            sinceStop.start();
            Main<QAbstractButton>("按钮_停止查询")->click();
        });
        Main<QAbstractButton>("按钮_查询大类排名")->click();
        QTRY_COMPARE_WITH_TIMEOUT(Status(1), QString::fromUtf8(" 查询已停止"), 10000);
        QVERIFY(sinceStop.isValid());
        qInfo("the pass ended %lld ms after Stop", static_cast<long long>(sinceStop.elapsed()));
        QVERIFY(sinceStop.elapsed() < 1000);
        QCOMPARE(drip_->Requests().size(), std::size_t{1});
    }

    void cleanupTestCase() {
        app_.reset();
        drip_.reset();
        sim_.reset();
    }
};

QTEST_MAIN(StopE2eTest)
#include "stop_e2e_test.moc"

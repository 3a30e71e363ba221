#pragma once

#include "tests/rank/sim_process.h"

#include <QByteArray>
#include <QtGlobal>

namespace rankmoth::testing {

// Points every host the window program talks to at one running simulator: listing, shop feeds and both
// notice pages (whose default payloads let the program start).
inline void PointHostsAt(const SimProcess& sim) {
    const std::string host = sim.HostPort();
    const auto notice = [&host](int blog) {
        return QByteArray::fromStdString("http://" + host +
                                         "/w2/blogDetail.do?hostID=pellwood&blogId=" + std::to_string(blog));
    };
    qputenv("RANKMOTH_MARKET_HOST", QByteArray::fromStdString(host));
    qputenv("RANKMOTH_SHOP_BASE", QByteArray::fromStdString(sim.ShopBase()));
    qputenv("RANKMOTH_VERSION_NOTICE_URL", notice(1330001));
    qputenv("RANKMOTH_START_TAB_NOTICE_URL", notice(1330002));
}

} // namespace rankmoth::testing

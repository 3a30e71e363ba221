#include "app/qt/compose.h"

#include "app/qt/assets.h"
#include "app/qt/window_design.h"
#include "base/control_names.h"
#include "base/settings.h"
#include "update/notice_check.h"
#include "update/notice_fetch.h"
#include "update/update_hooks.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QPolygonF>

#include <filesystem>

namespace rankmoth::shell {

namespace {

// The 32 x 32 icon of a finished download.
QPixmap DoneIcon() {
    QPixmap icon(32, 32);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x3C, 0x9D, 0x4A));
    p.drawEllipse(QRectF(1, 1, 30, 30));
    p.setPen(QPen(Qt::white, 3.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF({QPointF(9, 16.5), QPointF(14, 21.5), QPointF(23, 11)}));
    return icon;
}

void ShowUpdatePicture(update::UpdatePicture picture) {
    // Widgets are touched on the window thread only.
    QMetaObject::invokeMethod(qApp, [picture] {
        const QString window = QString::fromUtf8(base::kUpdateWindow.data(), base::kUpdateWindow.size());
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (top->objectName() != window)
                continue;
            if (auto* box = top->findChild<QLabel*>(QtName(base::names::update_window::kBanner)))
                box->setPixmap(picture == update::UpdatePicture::kDone ? DoneIcon()
                                                                         : BannerImage("update", box->size()));
        }
    });
}

} // namespace

void BindUpdateHooks(CoreContext& context, base::ShellHooks& hooks) {
    base::Controls& controls = context.controls;
    const base::Endpoints endpoints = context.endpoints;
    const base::FileLocations files = context.files;
    update::BindUpdateActions(
        [&controls, endpoints, files] {
            std::error_code ec;
            // A portable copy works in the directory current at the moment: its users start it from its own
            // folder and expect the download there. An installed one works in its cache folder, never in a
            // directory it happened to be started from.
            update::UpdateEnv env{controls,
                                  endpoints.versionNoticeUrl,
                                  endpoints.startTabNoticeUrl,
                                  update::NoticeTextFetch(),
                                  base::ConfigFile(),
                                  base::ExecutableDir(),
                                  files.installed ? files.cacheDir : std::filesystem::current_path(ec).string()};
            env.showPicture = ShowUpdatePicture;
#ifdef RANKMOTH_NO_SELF_UPDATE
            env.selfUpdate = false;
#endif
            return env;
        },
        hooks);
}

} // namespace rankmoth::shell

#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>

namespace rankmoth::shell {

// The program's pictures, drawn at run time: banners ("forum", "software", "update"), the support button
// face, and the window icon (also the tray icon), which is the launcher's mark.
QPixmap BannerImage(const QString& which, QSize size);
QPixmap SupportButtonImage();
QIcon WindowIcon();

} // namespace rankmoth::shell

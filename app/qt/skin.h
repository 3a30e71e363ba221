#pragma once

#include <QString>

namespace rankmoth::shell {

inline constexpr int kSkinCount = 33;
inline constexpr const char* kSkinFileName = "rankmoth-skin.qss";

// The style sheet carried for a skin number; only number 28 has one, every other number is empty.
QString SkinBlock(int number);

// Applies a skin to every window. The skin file beside the executable is the user's to edit: it is written
// from the carried block only when missing, and an existing one is used as it is. Nothing here can stop the
// program starting: an unwritable directory or an unreadable file leaves the windows in their plain look.
// Returns the style sheet applied.
QString AttachSkin(int number, const QString& directory);

} // namespace rankmoth::shell

// The skin settings file "main.ini" in the user data root: which background picture the user chose
// ([SKINIMAGE] FLAGS "1" a chosen picture, "0" the default; IMAGE its path).
#pragma once

#include <QString>

namespace nk7x {

// The skin-relative default background.
inline constexpr const char* kDefaultBackground = "common/background.png";

// UserDataRoot() + "/main.ini".
QString SkinSettingsPath();

// Writes FLAGS and IMAGE; false when the file could not be written (or the path holds a line break).
bool WriteSkinPicture(const QString& file, bool chosen, const QString& picture);

// The chosen picture when the file names one (FLAGS "1") that still exists (a relative path is
// looked for in the skin folder); empty otherwise.
QString ReadChosenSkinPicture(const QString& file, const QString& skinFolder);

// The picture's file: a relative path is below the skin folder.
QString SkinPicturePath(const QString& picture, const QString& skinFolder);

} // namespace nk7x

#include "panels/shoot/ShootPatternFiles.h"

#include "macros/RawFile.h"
#include "panels/shoot/ShootPattern.h"
#include "platform/Folders.h"
#include "profiles/json/JsonFile.h"

#include <filesystem>

namespace nk7x {
namespace {

// The folder of a file path; empty for a bare name.
std::string FolderOf(const std::string& path) {
    return std::filesystem::path(path).parent_path().string();
}

bool EnsureFolderOf(const std::string& path) {
    const std::string folder = FolderOf(path);
    return folder.empty() || EnsureFolder(folder);
}

// The bytes of a file that holds a pattern; false with `why` set otherwise.
bool ReadPatternText(const std::string& path, std::string& text, ShootFileResult& why) {
    if (path.empty() || !ReadRawFile(path, kMaxJsonFileSize, text)) {
        why = ShootFileResult::SourceUnreadable;
        return false;
    }
    Json::Value doc;
    if (!ParseJsonText(text, doc) || !IsShootPattern(doc)) {
        why = ShootFileResult::NotAPattern;
        return false;
    }
    return true;
}

ShootFileResult Replace(const std::string& target, const std::string& text) {
    if (!EnsureFolderOf(target))
        return ShootFileResult::WriteFailed;
    return ReplaceFileContent(target, text) == 1 ? ShootFileResult::Ok : ShootFileResult::WriteFailed;
}

} // namespace

Json::Value LoadShootPattern(const std::string& path) {
    if (path.empty())
        return Json::Value();
    return LoadJson(path);
}

ShootFileResult SaveShootPattern(const std::string& path, const Json::Value& doc) {
    if (path.empty())
        return ShootFileResult::NothingDone;
    if (!EnsureFolderOf(path))
        return ShootFileResult::WriteFailed;
    return WriteJson(path, doc) == 1 ? ShootFileResult::Ok : ShootFileResult::WriteFailed;
}

ShootFileResult RestoreShootPattern(const std::string& defaultPath, const std::string& target) {
    if (target.empty())
        return ShootFileResult::NothingDone;
    std::string text;
    ShootFileResult why = ShootFileResult::Ok;
    if (ReadPatternText(defaultPath, text, why))
        return Replace(target, text);
    return SaveShootPattern(target, EmptyShootPattern());
}

ShootFileResult ImportShootPattern(const std::string& source, const std::string& target) {
    if (source.empty() || target.empty())
        return ShootFileResult::NothingDone;
    std::string text;
    ShootFileResult why = ShootFileResult::Ok;
    if (!ReadPatternText(source, text, why))
        return why;
    return Replace(target, text);
}

ShootFileResult ExportShootPattern(const std::string& source, const std::string& target) {
    if (source.empty() || target.empty())
        return ShootFileResult::NothingDone;
    std::string text;
    if (!ReadRawFile(source, kMaxJsonFileSize, text))
        return ShootFileResult::SourceUnreadable;
    // The user picked the folder: it is not created here.
    return ReplaceFileContent(target, text) == 1 ? ShootFileResult::Ok : ShootFileResult::WriteFailed;
}

} // namespace nk7x

#include "app/ME.h"

#include "app/AppApi.h"
#include "app/Ordane.h"
#include "app/SettingsFile.h"
#include "toolkit/SystemApi.h"
#include "toolkit/pictures/PictureFormats.h"

TRunSettings RunSettings;

const String kSettingsFileName = u"Tolvi.ini";
const String kCommandLineError = u"コマンドラインオプションに誤りがあります。";

namespace {

const String kSectionForm = u"Form";
const String kSectionPicture = u"Picture";
const String kKeyConfirm = u"Confirm";
const String kKeyFile = u"File";
const String kKeyTime = u"Time";

constexpr uint64_t kMaxSettingsFileSize = 16 << 20;  // no settings file is this big

String DefaultPictureFile() { return ExtractFilePath(Platform().GetModuleFileNameW()) + u"End.jpg"; }

// The settings file as text; empty when there is none.
String ReadSettingsText(const String& path) {
  std::string bytes;
  uint32_t error = 0;
  if (!SystemPlatform().ReadFileBytes(path, kMaxSettingsFileSize, bytes, error)) {
    if (error == kErrorFileNotFound || error == kErrorPathNotFound) return String();
    throw Exception(Format(u"設定ファイル「%s」を読み込めません。(%s)", {path, SystemErrorText(error)}));
  }
  return DecodeText(bytes, [](const std::string& ansi) { return Platform().MultiByteToWideChar(ansi); });
}

}  // namespace

std::vector<String> SplitCommandLine(StringView commandLine) {
  std::vector<String> params;
  size_t i = 0;
  for (;;) {
    while (i < commandLine.size() && commandLine[i] <= u' ') ++i;
    if (i >= commandLine.size()) break;
    String param;
    bool quoted = false;
    for (; i < commandLine.size() && (quoted || commandLine[i] > u' '); ++i) {
      if (commandLine[i] == u'"') quoted = !quoted;
      else param += commandLine[i];
    }
    params.push_back(std::move(param));
  }
  return params;
}

bool ParseCommandLine() {
  RunSettings = TRunSettings{};
  const auto params = SplitCommandLine(Platform().GetCommandLineW());
  if (params.size() <= 1) return true;
  RunSettings.CommandLineGiven = true;

  bool valid = true;
  for (size_t i = 1; i <= 4; ++i) {
    const String param = i < params.size() ? params[i] : String();
    const String key = LowerCaseAscii(StringView(param).substr(0, 3));
    const StringView value = param.size() > 3 ? StringView(param).substr(3) : StringView();
    if (key == u"/no") {
      RunSettings.ShowConfirm = false;
    } else if (key == u"/m:") {
      const auto mode = value.size() == 1 ? ExitModeFromNumber(value[0] - u'0') : std::nullopt;
      if (mode) RunSettings.ExitMode = *mode;
      else valid = false;
    } else if (key == u"/p:") {
      if (IsPictureFileName(value, puCommandLine) && FileExists(String(value))) RunSettings.PictureFile = String(value);
      else valid = false;
    } else if (key == u"/t:") {
      if (const auto seconds = TryStrToInt(value)) RunSettings.PictureTime = *seconds;
      else valid = false;
    }
  }
  if (!valid) SystemPlatform().MessageBoxW(MessageBoxOwner(), kCommandLineError, kAppTitle, kMbOk);
  return valid;
}

String SettingsFilePath() { return UserDataDir + kSettingsFileName; }

void LoadSettings() {
  const IniDocument ini = IniDocument::Parse(ReadSettingsText(SettingsFilePath()));
  auto integer = [&](const String& section, const String& key, int32_t fallback) {
    const auto text = ini.ReadString(section, key);
    const auto value = text ? TryStrToInt(*text) : std::nullopt;
    return value ? *value : fallback;
  };
  RunSettings.ShowConfirm = integer(kSectionForm, kKeyConfirm, 1) != 0;
  RunSettings.PictureFile = ini.ReadString(kSectionPicture, kKeyFile).value_or(DefaultPictureFile());
  RunSettings.PictureTime = integer(kSectionPicture, kKeyTime, 3);
}

void SaveSettings() {
  const String path = SettingsFilePath();
  IniDocument ini = IniDocument::Parse(ReadSettingsText(path));
  ini.WriteString(kSectionForm, kKeyConfirm, RunSettings.ShowConfirm ? u"1" : u"0");
  ini.WriteString(kSectionPicture, kKeyFile, RunSettings.PictureFile);
  ini.WriteString(kSectionPicture, kKeyTime, IntToStr(RunSettings.PictureTime));

  // Write beside the file and replace it in one step, so a failed write never
  // leaves a cut or empty settings file behind. An existing file is replaced
  // in place, which keeps its security and attributes; Wine does not carry
  // the attributes over, so they are set again.
  const uint32_t attributes = SystemPlatform().GetFileAttributesW(path);
  const bool exists = attributes != kInvalidFileAttributes && (attributes & kFileAttributeDirectory) == 0;
  const String temp = path + u".tmp";
  uint32_t error = 0;
  AppApi& api = Platform();
  const bool saved = api.WriteFileBytes(temp, EncodeUtf16Le(ini.Text()), error) &&
                     (exists ? api.ReplaceFileW(path, temp, error)
                             : api.MoveFileExW(temp, path, kMoveFileReplaceExisting | kMoveFileWriteThrough, error));
  if (!saved) {
    api.DeleteFileW(temp);
    throw Exception(Format(u"設定ファイル「%s」に書き込めません。(%s)", {path, SystemErrorText(error)}));
  }
  if (exists) api.SetFileAttributesW(path, attributes);
}

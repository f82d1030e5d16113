#include "cli/output.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <algorithm>
#include <cstdio>
#include <memory>

#include "cli/standard_streams.h"
#include "composer/composer.h"
#include "composer/face_items.h"
#include "posting/shift_jis_safe.h"
#include "render/fonts.h"
#include "render/text_art.h"
#include "templates/template_list.h"
#include "text/number_reading.h"

namespace koron {
namespace {

std::u16string ToU16(const QString& text) { return text.toStdU16String(); }

QString ListPath(const QString& folder, const char* file) {
  return folder + QLatin1Char('/') + QLatin1String(file);
}

std::string FilePath(const QString& path) { return QFile::encodeName(path).toStdString(); }

std::string Utf8(const std::u16string& text) {
  return QString::fromStdU16String(text).toUtf8().toStdString();
}

QString CodePointName(char32_t c) {
  return QStringLiteral("U+%1").arg(QString::number(c, 16).toUpper().rightJustified(4, u'0'));
}

// Qt's notes on its own start-up (a missing runtime folder and the like) are not the user's
// business here; only its errors are passed on.
QtMessageHandler previousHandler = nullptr;

void QuietMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type != QtCriticalMsg && type != QtFatalMsg) return;
  if (previousHandler != nullptr) {
    previousHandler(type, context, message);
  } else {
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
  }
}

// A QGuiApplication for measuring and drawing text, always on the offscreen platform: the
// output must not need a display, nor change with the desktop's theme.
class OffscreenApplication {
 public:
  OffscreenApplication() {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Otherwise the offscreen platform connects to the X server of DISPLAY, if any, for OpenGL.
    qputenv("QT_QPA_OFFSCREEN_NO_GLX", "1");
    qunsetenv("QT_QPA_PLATFORMTHEME");
    previousHandler = qInstallMessageHandler(QuietMessages);
    app_ = std::make_unique<QGuiApplication>(argc_, argv_);
    SetUpFonts();
  }
  ~OffscreenApplication() {
    app_.reset();
    qInstallMessageHandler(previousHandler);
  }
  OffscreenApplication(const OffscreenApplication&) = delete;
  OffscreenApplication& operator=(const OffscreenApplication&) = delete;

 private:
  // The user's Qt options (-platform, -style, ...) are for the window, not for this.
  char name_[9] = "koron-aa";
  char platformOption_[10] = "-platform";
  char platform_[10] = "offscreen";
  int argc_ = 3;
  char* argv_[4] = {name_, platformOption_, platform_, nullptr};
  std::unique_ptr<QGuiApplication> app_;
};

int Fail(const QString& error) {
  WriteErrorLine(error);
  return 1;
}

int Write(const std::string& bytes) {
  QString error;
  return WriteStandardOutput(bytes, &error) ? 0 : Fail(error);
}

int WriteWidths(const std::u16string& text) {
  OffscreenApplication app;
  std::string lines;
  for (const std::uint32_t width : TextArtLineWidths(text)) lines += std::to_string(width) + '\n';
  lines += "bytes " + std::to_string(ShiftJisSafeByteCount(text)) + '\n';
  return Write(lines);
}

// The PNG written straight into a device or a pipe (/dev/stdout, say). SaveTextArtPng would put
// a new file in its place, which for root replaces /dev/null or /dev/full.
bool WritePngInto(const std::u16string& text, const QString& path, QString* error) {
  const QImage image = RenderTextArt(text);
  if (image.isNull()) {
    *error = QStringLiteral("the picture is too large to draw.");
    return false;
  }
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
    *error = file.errorString();
    return false;
  }
  QImageWriter writer(&file, "png");
  if (!writer.write(image)) {
    *error = file.error() != QFileDevice::NoError ? file.errorString() : writer.errorString();
    return false;
  }
  return true;
}

int WritePng(const std::u16string& text, const QString& path) {
  OffscreenApplication app;
  const QFileInfo target(path);
  const bool special = target.exists() && !target.isFile() && !target.isDir();
  QString error;
  bool saved = false;
  {
    const MutedStandardError muted;
    if (special) {
      saved = WritePngInto(text, path, &error);
    } else {
      PngSaveFailure failure;
      saved = SaveTextArtPng(text, path, &failure);
      if (!saved) error = DescribeInEnglish(failure);
    }
  }
  if (saved) return 0;
  return Fail(QStringLiteral("cannot write %1: %2").arg(Quoted(path), error));
}

}  // namespace

CliText PrintText(const CliOptions& options, const QString& folder) {
  ProcessionChoices choices;
  choices.MarcherCount = ReadCount(ToU16(options.marchers));
  choices.FaceIndex = static_cast<std::int16_t>(options.face);
  choices.FaceText = kFaceItems[options.face];
  choices.Ears = options.ears;
  choices.CheerCount = ReadCount(ToU16(options.cheer));
  choices.SignCount = ReadCount(ToU16(options.signs));
  choices.TemplateName = ToU16(options.templateName);
  choices.TemplateOnly = options.templateOnly;

  CliText result;
  std::u16string body;
  if (!choices.TemplateName.empty()) {
    const QString path = ListPath(folder, kPictureListFile);
    body = FindTemplateBody(FilePath(path), choices.TemplateName);
    if (body.empty()) {
      result.warning =
          QStringLiteral("template %1 has no body in %2.").arg(Quoted(options.templateName), path);
    }
  }

  if (choices.TemplateOnly) {
    result.text = PlaceOutput({}, choices.TemplateName, true, body);
    return result;
  }
  const std::uint64_t length = PictureLength(choices);
  if (length > kMaxPictureLength) {
    result.ok = false;
    result.error = QStringLiteral(
                       "the picture would be %1 characters long, over the limit of %2; nothing "
                       "written.")
                       .arg(length)
                       .arg(kMaxPictureLength);
    return result;
  }
  result.text = PlaceOutput(ComposePicture(choices), choices.TemplateName, false, body);
  return result;
}

CliText ShowText(const QString& name, const QString& folder) {
  const QString path = ListPath(folder, kPanelListFile);
  CliText result;
  result.text = FindTemplateBody(FilePath(path), ToU16(name));
  if (result.text.empty()) {
    result.ok = false;
    result.error = QStringLiteral("template %1 has no body in %2.").arg(Quoted(name), path);
  }
  return result;
}

std::string ListText(int listNumber, const QString& folder) {
  const char* file = listNumber == 1 ? kPictureListFile : kPanelListFile;
  std::string text;
  for (std::u16string name : ListTemplateNames(FilePath(ListPath(folder, file)))) {
    // A line feed inside a header line (of a list with CR LF line ends) would split the name in
    // two lines: it is shown as the symbol for a line feed.
    std::replace(name.begin(), name.end(), u'\n', u'\u240A');
    text += Utf8(name);
    text += '\n';
  }
  return text;
}

bool EncodeText(const std::u16string& text, CliEncoding encoding, std::string* bytes,
                QString* error) {
  switch (encoding) {
    case CliEncoding::Utf8:
      *bytes = Utf8(text);
      return true;
    case CliEncoding::ShiftJisSafe:
      *bytes = EncodeShiftJisSafe(text);
      return true;
    case CliEncoding::Cp932:
      break;
  }
  Cp932Encoding encoded = EncodeCp932(text);
  if (encoded.ok) {
    *bytes = std::move(encoded.bytes);
    return true;
  }
  const char32_t c = encoded.unmapped;
  *error = QStringLiteral("line %1: %2 (%3) has no form in code page 932; nothing written.")
               .arg(encoded.line)
               .arg(CodePointName(c), QString::fromUcs4(&c, 1));
  return false;
}

int RunOutput(const CliOptions& options, const QString& folder) {
  if (options.action == CliAction::List) return Write(ListText(options.listNumber, folder));

  const CliText text = options.action == CliAction::Print ? PrintText(options, folder)
                                                          : ShowText(options.showName, folder);
  if (!text.ok) return Fail(text.error);
  if (!text.warning.isEmpty()) WriteErrorLine(text.warning);

  if (options.widths) return WriteWidths(text.text);
  if (!options.pngFile.isEmpty()) return WritePng(text.text, options.pngFile);
  std::string bytes;
  QString error;
  if (!EncodeText(text.text, options.encoding, &bytes, &error)) return Fail(error);
  return Write(bytes);
}

}  // namespace koron

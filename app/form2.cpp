#include "app/form2.h"

#include <QLabel>
#include <QPixmap>

#include "app/app_icon.h"

namespace koron {
namespace {

constexpr int kClientWidth = 601;
constexpr int kClientHeight = 368;

struct ImagePlace {
  const char* resource;
  int left, top, width, height;  // pixels
};

constexpr ImagePlace kImages[2] = {
    {":/about-0.jpg", 8, 8, 288, 352},
    {":/about-1.jpg", 304, 8, 288, 352},
};

}  // namespace

Form2::Form2(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowCloseButtonHint) {
  setObjectName(QStringLiteral("Form2"));
  setWindowTitle(QStringLiteral(u"おまけ"));
  setWindowIcon(AppIcon());
  setFixedSize(kClientWidth, kClientHeight);
  setModal(true);
  setSizeGripEnabled(false);

  for (int i = 0; i < 2; ++i) {
    const QPixmap picture(QString::fromLatin1(kImages[i].resource));
    auto* image = new QLabel(this);
    image->setObjectName(QStringLiteral("Image1_%1").arg(i));
    image->setAccessibleName(QStringLiteral(u"写真 %1").arg(i + 1));
    image->setPixmap(picture);
    image->setFrameShape(QFrame::NoFrame);
    image->setScaledContents(false);
    image->setFocusPolicy(Qt::NoFocus);
    // The pictures only show; clicks pass through to the window, which ignores them.
    image->setAttribute(Qt::WA_TransparentForMouseEvents);
    image->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    image->setGeometry(kImages[i].left, kImages[i].top, kImages[i].width, kImages[i].height);
    Image1[static_cast<std::size_t>(i)] = image;
  }
}

}  // namespace koron

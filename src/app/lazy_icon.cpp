#include "app/lazy_icon.h"

#include <QFile>
#include <QIconEngine>
#include <QPainter>

namespace dravik::app {

namespace {

class LazyFileIconEngine final : public QIconEngine {
public:
    explicit LazyFileIconEngine(QString fileName)
        : fileName_(std::move(fileName)), exists_(QFile::exists(fileName_)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return icon().actualSize(size, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return icon().pixmap(size, mode, state);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override {
        return icon().pixmap(size, scale, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
        return icon().availableSizes(mode, state);
    }
    bool isNull() override { return !exists_; }
    QString key() const override { return QStringLiteral("dravik-lazy-file"); }
    QIconEngine* clone() const override { return new LazyFileIconEngine(fileName_); }

private:
    const QIcon& icon() {
        if (!loaded_) {
            icon_ = QIcon(fileName_);
            loaded_ = true;
        }
        return icon_;
    }

    QString fileName_;
    bool exists_ = false;
    bool loaded_ = false;
    QIcon icon_;
};

}  // namespace

QIcon LazyFileIcon(const QString& fileName) { return QIcon(new LazyFileIconEngine(fileName)); }

}  // namespace dravik::app

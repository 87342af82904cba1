#pragma once

#include <QDir>
#include <QUrl>
#include <QWebEngineUrlRequestInterceptor>

namespace tk {

// Decides what a shown page may load: files inside its own folder, inline data, nothing else.
class LocalPagePolicy final : public QWebEngineUrlRequestInterceptor {
  public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;

    void setRoot(const QString& folder) { root_ = QDir::cleanPath(folder) + u'/'; }

    bool allows(const QUrl& url) const {
        if (url.scheme() == QLatin1String("data")) {
            return true;
        }
        if (!url.isLocalFile() || root_.size() <= 1) {
            return false;
        }
        // cleanPath folds "..", so a page cannot climb out of its folder.
        return QDir::cleanPath(url.toLocalFile()).startsWith(root_);
    }

    void interceptRequest(QWebEngineUrlRequestInfo& info) override {
        if (!allows(info.requestUrl())) {
            info.block(true);
        }
    }

  private:
    QString root_;
};

}  // namespace tk

#include "web_browser.h"

#include <algorithm>

namespace quorvane {

BrowserInstance::BrowserInstance(int index, QWidget* container) : QWidget(container) {
    setObjectName(QStringLiteral("WebBrowser%1").arg(index));
    setFocusPolicy(Qt::NoFocus);
    setVisible(false);
}

WebBrowserCollection::WebBrowserCollection(QWidget* container, const QRect& geometry)
    : QObject(container), container_(container) {
    load(0)->setGeometry(geometry);
}

WebBrowserCollection::~WebBrowserCollection() {
    for (BrowserInstance*& instance : instances_) delete std::exchange(instance, nullptr);
}

int WebBrowserCollection::count() const {
    return int(std::count_if(instances_.begin(), instances_.end(),
                             [](const BrowserInstance* b) { return b != nullptr; }));
}

BrowserInstance* WebBrowserCollection::item(int index) const {
    return index >= 0 && index < instances_.size() ? instances_[index] : nullptr;
}

BrowserInstance* WebBrowserCollection::load(int index) {
    if (item(index)) return item(index);
    if (instances_.size() <= index) instances_.resize(index + 1);
    auto* instance = new BrowserInstance(index, container_);
    if (const BrowserInstance* model = item(0)) instance->setGeometry(model->geometry());
    instances_[index] = instance;
    return instance;
}

void WebBrowserCollection::unload(int index) {
    if (index <= 0 || !item(index)) return;  // the designed instance stays for the window's life
    delete std::exchange(instances_[index], nullptr);
}

}  // namespace quorvane

#pragma once

#include <QList>
#include <QObject>
#include <QRect>
#include <QWidget>

namespace quorvane {

// One element of the window's WebBrowser control array: a place on the window the user never
// sees. Instance 1 holds the press under way, whose reading ends with the instance.
class BrowserInstance : public QWidget {
    Q_OBJECT
public:
    BrowserInstance(int index, QWidget* container);
};

// The WebBrowser control array: the designed instance 0 and the run-time instance 1.
class WebBrowserCollection : public QObject {
    Q_OBJECT
public:
    // Creates the designed instance 0 on `container` at `geometry` (pixels), hidden.
    WebBrowserCollection(QWidget* container, const QRect& geometry);
    ~WebBrowserCollection() override;

    int count() const;
    BrowserInstance* item(int index) const;
    // Creates instance `index` with instance 0's size and position, not yet visible.
    BrowserInstance* load(int index);
    // Destroys the instance with the press it holds; nothing of that press is heard again.
    void unload(int index);

private:
    QWidget* container_;
    QList<BrowserInstance*> instances_;  // by index; null where unloaded
};

}  // namespace quorvane

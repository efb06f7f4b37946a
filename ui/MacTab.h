#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

#include <optional>

// The window's pages, in the order of the navigation rows. A case's title is
// its raw value.
enum class MacTab { apps, selected, settings, about };

namespace MacTabs {
QList<MacTab> allCases();
QString title(MacTab tab);
QString symbolName(MacTab tab);
// Only the exact titles give a case.
std::optional<MacTab> fromTitle(const QString &title);
} // namespace MacTabs

// MacTab for QML, where enum keys must start upper-case: the cases as
// constants, their titles and symbols.
class MacTabInfo : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(MacTabs)
    QML_SINGLETON
    Q_PROPERTY(int apps READ apps CONSTANT)
    Q_PROPERTY(int selected READ selected CONSTANT)
    Q_PROPERTY(int settings READ settings CONSTANT)
    Q_PROPERTY(int about READ about CONSTANT)
    Q_PROPERTY(QList<int> allCases READ allCases CONSTANT)
public:
    using QObject::QObject;

    int apps() const { return int(MacTab::apps); }
    int selected() const { return int(MacTab::selected); }
    int settings() const { return int(MacTab::settings); }
    int about() const { return int(MacTab::about); }
    QList<int> allCases() const;

    Q_INVOKABLE QString title(int tab) const;
    Q_INVOKABLE QString symbolName(int tab) const;
    // -1 when the text is not one of the titles.
    Q_INVOKABLE int fromTitle(const QString &title) const;
};

#include "ui/MacTab.h"

namespace MacTabs {

QList<MacTab> allCases()
{
    return {MacTab::apps, MacTab::selected, MacTab::settings, MacTab::about};
}

QString title(MacTab tab)
{
    switch (tab) {
    case MacTab::apps: return QStringLiteral("Apps");
    case MacTab::selected: return QStringLiteral("On iPhone");
    case MacTab::settings: return QStringLiteral("Settings");
    case MacTab::about: return QStringLiteral("About");
    }
    return {};
}

QString symbolName(MacTab tab)
{
    switch (tab) {
    case MacTab::apps: return QStringLiteral("square.grid.2x2");
    case MacTab::selected: return QStringLiteral("iphone");
    case MacTab::settings: return QStringLiteral("gearshape");
    case MacTab::about: return QStringLiteral("info.circle");
    }
    return {};
}

std::optional<MacTab> fromTitle(const QString &text)
{
    for (MacTab tab : allCases()) {
        if (title(tab) == text)
            return tab;
    }
    return std::nullopt;
}

} // namespace MacTabs

namespace {
std::optional<MacTab> toTab(int value)
{
    for (MacTab tab : MacTabs::allCases()) {
        if (int(tab) == value)
            return tab;
    }
    return std::nullopt;
}
} // namespace

QList<int> MacTabInfo::allCases() const
{
    QList<int> cases;
    for (MacTab tab : MacTabs::allCases())
        cases.append(int(tab));
    return cases;
}

QString MacTabInfo::title(int tab) const
{
    const auto value = toTab(tab);
    return value ? MacTabs::title(*value) : QString();
}

QString MacTabInfo::symbolName(int tab) const
{
    const auto value = toTab(tab);
    return value ? MacTabs::symbolName(*value) : QString();
}

int MacTabInfo::fromTitle(const QString &text) const
{
    const auto tab = MacTabs::fromTitle(text);
    return tab ? int(*tab) : -1;
}

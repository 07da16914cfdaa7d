// Listing the machine's ports in the port list, with the stored port preselected.

#include "platform/port_list.h"
#include "shell/preferences_module.h"
#include "support/bridge_readers.h"
#include "support/preferences_test_home.h"
#include "support/scripted_services.h"
#include "window/kelvo_bridge.h"

#include <QComboBox>
#include <QStringList>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <ostream>

namespace {

struct ListCase {
    const char *name;
    std::optional<QString> serial; // nullopt: the key is not in the store
    int selected;
};

void PrintTo(const ListCase &c, std::ostream *out)
{
    *out << c.name;
}

class PortList : public PreferencesTestHome {
protected:
    void SetUp() override
    {
        PreferencesTestHome::SetUp();
        PreferencesModule::Initialize(QStringLiteral("KelvoConnect"));
        window = std::make_unique<KelvoBridge>();
    }

    ScriptedServices services;
    std::unique_ptr<KelvoBridge> window;
};

class EnumeratePorts : public PortList, public ::testing::WithParamInterface<ListCase> {};

TEST_P(EnumeratePorts, ListsEveryPortAndSelectsTheStoredOne)
{
    services.ports = {QStringLiteral("ttyS0"), QStringLiteral("ttyUSB0"), QStringLiteral("ttyUSB1"),
                      QStringLiteral("ttyUSB0"), QStringLiteral("pts/3")};
    if (GetParam().serial)
        PreferencesModule::Preferences()->Set(QStringLiteral("serial"), JsonValue(*GetParam().serial));

    window->enumeratePorts();

    EXPECT_EQ(test::portRows(*window), services.ports);
    EXPECT_EQ(window->portselector()->currentIndex(), GetParam().selected);
}

INSTANTIATE_TEST_SUITE_P(
    Serial, EnumeratePorts,
    ::testing::Values(ListCase{"Empty", QString(), 0}, ListCase{"Absent", std::nullopt, 0},
                      ListCase{"NotPresent", QStringLiteral("ttyACM0"), 0},
                      ListCase{"Present", QStringLiteral("ttyUSB1"), 2},
                      ListCase{"LastPort", QStringLiteral("pts/3"), 4},
                      ListCase{"TwoOfThatNameTheLater", QStringLiteral("ttyUSB0"), 3},
                      ListCase{"LetterCaseCounts", QStringLiteral("TTYUSB1"), 0}));

TEST_F(PortList, AppendsToRowsAlreadyThereAndSelectsByPortIndex)
{
    services.ports = {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")};
    PreferencesModule::Preferences()->Set(QStringLiteral("serial"), JsonValue(QStringLiteral("c")));
    window->portselector()->addItems({QStringLiteral("old0"), QStringLiteral("old1")});

    window->enumeratePorts();

    EXPECT_EQ(test::portRows(*window),
              QStringList({"old0", "old1", "a", "b", "c"}));
    // The index of port "c" among the ports, which is a row of the older entries here.
    EXPECT_EQ(window->portselector()->currentIndex(), 2);
}

TEST_F(PortList, NoPortsLeavesTheListEmpty)
{
    window->enumeratePorts();
    EXPECT_EQ(window->portselector()->count(), 0);
}

} // namespace

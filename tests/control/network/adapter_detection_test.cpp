#include "network/adapter_detection.h"

#include "control/control_test_log.h"
#include "control/state/state_fixture.h"

namespace voxline::test {
namespace {

using kestrel::network_snapshot;

// Gateways 192.168.1.1 on eth0, 10.64.64.64 on ppp0, 172.16.0.1 on wlan0.
const char ROUTES[] =
    "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
    "eth0\t00000000\t0101A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
    "eth0\t0001A8C0\t00000000\t0001\t0\t0\t100\t00FFFFFF\t0\t0\t0\n"
    "ppp0\t00000000\t4040400A\t0003\t0\t0\t0\t00000000\t0\t0\t0\n"
    "wlan0\t00000000\t010010AC\t0003\t0\t0\t600\t00000000\t0\t0\t0\n";

kestrel::interface_info iface(const char* name, const char* type, std::vector<std::string> ipv4,
                              bool running = true) {
    return {name, type, running, running, false, std::move(ipv4)};
}

// Answers with a fixed index and records what it was asked.
struct fake_prompt : kestrel::adapter_prompt {
    fake_prompt(int given, std::vector<std::string>* labels) : answer(given), asked(labels) {}
    void ask(const kestrel::adapter_prompt_texts& texts, const std::vector<std::string>& labels,
             std::function<void(int)> done) override {
        EXPECT_EQ(texts.title, "Select Active Network Adapter");
        *asked = labels;
        done(answer);
    }
    const int answer;
    std::vector<std::string>* const asked;
};

struct choice {
    bool answered = false, chosen = false;
    std::string address;
    std::vector<std::string> asked;  // the dialog's labels
    captured_log log;
};

std::unique_ptr<choice> choose(std::vector<kestrel::interface_info> interfaces, int answer = 0,
                               bool force = false) {
    auto result = std::make_unique<choice>();
    kestrel::adapter_chooser chooser(&result->log.log,
                                     std::make_unique<fixed_adapters>(network_snapshot{
                                         std::move(interfaces), ROUTES, "Linux 6"}),
                                     std::make_unique<fake_prompt>(answer, &result->asked));
    chooser.GetLocalIpAddress(force, [&](bool chosen, const std::string& address) {
        result->answered = true, result->chosen = chosen, result->address = address;
    });
    return result;
}

TEST(AdapterDetection, AddressesWithoutGatewayOrAddressAreNotListed) {
    const auto r =
        choose({iface("eth1", "Ethernet", {"192.168.9.2"}), iface("eth2", "Ethernet", {})});
    EXPECT_EQ(std::tuple(r->answered, r->chosen, r->address), std::tuple(true, false, ""));
    EXPECT_TRUE(
        r->log.has("    Address 0: 192.168.9.2 (not added to list because no default gateway)"));
    EXPECT_TRUE(
        r->log.has("    Address 1: 0.0.0.0 (not added to list because IP address is empty)"));
    EXPECT_TRUE(r->log.has("GetLocalIpAddress returned no addresses!"));
    for (const auto& [level, source, message] : r->log.console) EXPECT_EQ(source, "IP_DETECT");

    // Of two, only the running one: taken without a dialog.
    const auto running = choose({iface("eth0", "Ethernet", {"192.168.1.20"}, false),
                                 iface("wlan0", "Wi-Fi", {"172.16.0.7"})});
    EXPECT_EQ(std::tuple(running->chosen, running->address, running->asked.size()),
              std::tuple(true, "172.16.0.7", 0u));
    EXPECT_TRUE(running->log.has("GetLocalIpAddress returned one address (172.16.0.7)"));
}

TEST(AdapterDetection, DialogListsLabelsNewestFirstAndMapsTheAnswer) {
    const std::pair<int, const char*> rows[] = {
        {0, "172.16.0.7"}, {2, "192.168.1.20"}, {-1, ""}, {3, ""}};
    for (const auto& [answer, address] : rows) {
        const auto r =
            choose({iface("eth0", "Ethernet", {"192.168.1.20"}), iface("ppp0", "PPP", {"10.1.2.3"}),
                    iface("wlan0", "Wi-Fi", {"172.16.0.7"})},
                   answer);
        EXPECT_EQ(r->asked, (std::vector<std::string>{"wlan0 (Wi-Fi)", "Modem: ppp0 (PPP)",
                                                      "LAN: eth0 (Ethernet)"}));
        EXPECT_EQ(r->address, address) << answer;
        EXPECT_EQ(r->chosen, !r->log.has("invalid index (" + std::to_string(answer) +
                                         ") returned from user dialog!"));
        // The kernel's route table gives each interface its gateway.
        for (const char* line : {"192.168.1.20 (default gateway = 192.168.1.1)",
                                 "10.1.2.3 (default gateway = 10.64.64.64)",
                                 "172.16.0.7 (default gateway = 172.16.0.1)"})
            EXPECT_TRUE(r->log.has(line)) << line;
    }
}

TEST(AdapterDetection, ForcedDialogWithOneAddressAndLocalIpOverride) {
    const auto eth0 = iface("eth0", "Ethernet", {"192.168.1.20"});
    const auto forced = choose({eth0}, 0, true);
    EXPECT_EQ(std::tuple(forced->address, forced->asked.size()), std::tuple("192.168.1.20", 1u));

    setenv("KESTREL_LOCAL_IP", "127.0.58.9", 1);
    const auto fixed = choose({eth0}, 0, true);
    unsetenv("KESTREL_LOCAL_IP");
    EXPECT_EQ(std::tuple(fixed->chosen, fixed->address, fixed->asked.size()),
              std::tuple(true, "127.0.58.9", 0u));
}

}  // namespace
}  // namespace voxline::test

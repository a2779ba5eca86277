#include "network/adapter_detection.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>

#include "control/control_test_log.h"
#include "network/adapter_dialog.h"
#include "network/route_table.h"

namespace voxline::test {
namespace {

using kestrel::interface_info;
using kestrel::network_snapshot;

// Gateways 192.168.1.1 on eth0, 10.64.64.64 on ppp0, 172.16.0.1 on wlan0.
const char ROUTES[] =
    "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
    "eth0\t00000000\t0101A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
    "eth0\t0001A8C0\t00000000\t0001\t0\t0\t100\t00FFFFFF\t0\t0\t0\n"
    "ppp0\t00000000\t4040400A\t0003\t0\t0\t0\t00000000\t0\t0\t0\n"
    "wlan0\t00000000\t010010AC\t0003\t0\t0\t600\t00000000\t0\t0\t0\n";

interface_info iface(const char* name, const char* type, std::vector<std::string> ipv4,
                     bool running = true) {
    return interface_info{name, type, running, running, false, std::move(ipv4)};
}

class fake_source : public kestrel::interface_source {
  public:
    explicit fake_source(network_snapshot snap) : m_snap(std::move(snap)) {}
    network_snapshot snapshot() override { return m_snap; }

  private:
    network_snapshot m_snap;
};

struct prompt_record {
    std::string title;
    std::vector<std::string> asked;
};

class fake_prompt : public kestrel::adapter_prompt {
  public:
    fake_prompt(int answer, prompt_record* record) : m_answer(answer), m_record(record) {}
    void ask(const kestrel::adapter_prompt_texts& texts, const std::vector<std::string>& labels,
             std::function<void(int)> done) override {
        m_record->title = texts.title;
        m_record->asked = labels;
        done(m_answer);
    }

  private:
    int m_answer;
    prompt_record* m_record;
};

struct choice {
    bool chosen = false;
    std::string address;
    bool answered = false;
};

choice choose(network_snapshot snap, int answer, bool force, captured_log& c,
              prompt_record* record) {
    kestrel::adapter_chooser chooser(&c.log, std::make_unique<fake_source>(std::move(snap)),
                                     std::make_unique<fake_prompt>(answer, record));
    choice result;
    chooser.GetLocalIpAddress(force, [&](bool chosen, const std::string& address) {
        result = {chosen, address, true};
    });
    return result;
}

TEST(RouteTable, DefaultGatewaysPerInterface) {
    const auto routes = kestrel::read_default_routes(ROUTES);
    EXPECT_EQ(kestrel::gateway_of(routes, "eth0"), "192.168.1.1");
    EXPECT_EQ(kestrel::gateway_of(routes, "ppp0"), "10.64.64.64");
    EXPECT_EQ(kestrel::gateway_of(routes, "wlan0"), "172.16.0.1");
    EXPECT_EQ(kestrel::gateway_of(routes, "lo"), "");
    EXPECT_TRUE(kestrel::read_default_routes("garbage\nx y z\n\n").empty());
}

TEST(AdapterDetection, AddressesWithoutGatewayOrAddressAreNotListed) {
    captured_log c;
    network_snapshot snap{
        {iface("eth1", "Ethernet", {"192.168.9.2"}), iface("eth2", "Ethernet", {})},
        ROUTES,
        "Linux 6"};
    prompt_record prompt;
    const choice r = choose(snap, 0, false, c, &prompt);
    EXPECT_TRUE(r.answered);
    EXPECT_FALSE(r.chosen);
    EXPECT_EQ(r.address, "");
    const std::string text = c.text();
    EXPECT_NE(
        text.find("    Address 0: 192.168.9.2 (not added to list because no default gateway)"),
        std::string::npos);
    EXPECT_NE(text.find("    Address 1: 0.0.0.0 (not added to list because IP address is empty)"),
              std::string::npos);
    EXPECT_NE(text.find("GetLocalIpAddress returned no addresses!"), std::string::npos);
    for (const auto& [level, source, message] : c.console) EXPECT_EQ(source, "IP_DETECT");
}

TEST(AdapterDetection, OnlyTheRunningOfTwoIsTakenWithoutDialog) {
    captured_log c;
    prompt_record prompt;
    network_snapshot snap{{iface("eth0", "Ethernet", {"192.168.1.20"}, false),
                           iface("wlan0", "Wi-Fi", {"172.16.0.7"})},
                          ROUTES,
                          "Linux 6"};
    const choice r = choose(snap, 0, false, c, &prompt);
    EXPECT_TRUE(r.chosen);
    EXPECT_EQ(r.address, "172.16.0.7");
    EXPECT_TRUE(prompt.asked.empty());
    EXPECT_NE(c.text().find("GetLocalIpAddress returned one address (172.16.0.7)"),
              std::string::npos);
}

TEST(AdapterDetection, DialogListsLabelsNewestFirstAndMapsTheAnswer) {
    network_snapshot snap{
        {iface("eth0", "Ethernet", {"192.168.1.20"}), iface("ppp0", "PPP", {"10.1.2.3"}),
         iface("wlan0", "Wi-Fi", {"172.16.0.7"})},
        ROUTES,
        "Linux 6"};
    struct row {
        int answer;
        bool chosen;
        const char* address;
    };
    for (const row r : {row{0, true, "172.16.0.7"}, row{2, true, "192.168.1.20"},
                        row{-1, false, ""}, row{3, false, ""}}) {
        captured_log c;
        prompt_record prompt;
        const choice got = choose(snap, r.answer, false, c, &prompt);
        EXPECT_EQ(prompt.title, "Select Active Network Adapter");
        EXPECT_EQ(prompt.asked, (std::vector<std::string>{"wlan0 (Wi-Fi)", "Modem: ppp0 (PPP)",
                                                          "LAN: eth0 (Ethernet)"}));
        EXPECT_EQ(got.chosen, r.chosen) << r.answer;
        EXPECT_EQ(got.address, r.address) << r.answer;
        if (!r.chosen) {
            EXPECT_NE(c.text().find("invalid index (" + std::to_string(r.answer) +
                                    ") returned from user dialog!"),
                      std::string::npos);
        }
    }
}

TEST(AdapterDetection, ForcedDialogWithOneAddressAndLocalIpOverride) {
    captured_log c;
    prompt_record prompt;
    network_snapshot snap{{iface("eth0", "Ethernet", {"192.168.1.20"})}, ROUTES, "Linux 6"};
    EXPECT_EQ(choose(snap, 0, true, c, &prompt).address, "192.168.1.20");
    EXPECT_EQ(prompt.asked.size(), 1u);

    prompt = {};
    setenv("KESTREL_LOCAL_IP", "127.0.58.9", 1);
    const choice fixed = choose(snap, 0, true, c, &prompt);
    unsetenv("KESTREL_LOCAL_IP");
    EXPECT_TRUE(fixed.chosen);
    EXPECT_EQ(fixed.address, "127.0.58.9");
    EXPECT_TRUE(prompt.asked.empty());
}

TEST(AdapterDialog, OpensWithTheFirstPreselectedAndAnswersLater) {
    QWidget parent;
    kestrel::adapter_dialog prompt(&parent);
    std::vector<int> answers;
    prompt.ask({"Select", "Pick one", "OK", "Arial"}, {"LAN: a", "b"},
               [&](int index) { answers.push_back(index); });
    QDialog* dialog = prompt.current();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(answers.empty());  // open() does not wait
    auto* list = dialog->findChild<QComboBox*>("adapters");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->currentIndex(), 0);
    list->setCurrentIndex(1);
    dialog->accept();
    EXPECT_EQ(answers, std::vector<int>{1});

    prompt.ask({"Select", "Pick one", "OK", ""}, {"a", "b"},
               [&](int index) { answers.push_back(index); });
    prompt.current()->reject();  // closed without OK
    EXPECT_EQ(answers, (std::vector<int>{1, -1}));
}

}  // namespace
}  // namespace voxline::test

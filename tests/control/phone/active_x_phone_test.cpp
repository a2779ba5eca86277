#include "phone/active_x_phone.h"

#include <QComboBox>
#include <QDialog>
#include <QPushButton>

#include "keys/virtual_keys.h"
#include "state/state_fixture.h"

namespace voxline::test {
namespace {

// A container that refuses edits of the ids it is told and records the rest.
class recording_sink final : public IActiveXPhoneEvents {
  public:
    std::vector<int> refused, changed, asked;
    uint32_t refs = 1;
    uint32_t AddRef() override { return ++refs; }
    uint32_t Release() override { return --refs; }
    int32_t GetCurrentLoadPercentagesOfCallManagers(const char*, char**) override { return -1; }
    int32_t GetCallerIDNameFromNumber(const char*, char**) override { return -1; }
    int32_t ChangeQuillonState(int32_t, const char*, const char*) override { return 0; }
    int32_t WriteJavaConsoleMessage(int32_t, const char*, const char*) override { return 0; }
    int32_t ExecuteJavaScriptCommand(const char*, char**) override { return 0; }
    int32_t OnRequestEdit(int32_t dispid) override {
        asked.push_back(dispid);
        return std::ranges::count(refused, dispid) ? 1 : 0;
    }
    int32_t OnChanged(int32_t dispid) override {
        changed.push_back(dispid);
        return 0;
    }
};

// No engine: these tests stay with the automation surface.
phone_ptr make_control(std::unique_ptr<kestrel::interface_source> interfaces =
                           ethernet({{"eth0", "127.0.0.1", "0100007F"}})) {
    auto pool = std::make_shared<engine_pool>();
    pool->refused = {"TarnwickVXL", "TarnwickVXLG723", "TarnwickVXLG729"};
    return make_phone(pool, std::move(interfaces));
}

std::string get(kestrel::active_x_phone& control, int dispid) {
    char* text = nullptr;
    EXPECT_EQ(control.GetProperty(dispid, &text), KESTREL_S_OK) << dispid;
    return take(text);
}

TEST(ActiveXPhone, PropertiesAskTheContainerAndNotifyButSetParameterDoesNot) {
    auto control = make_control();
    char* text = nullptr;
    for (int id : {0, 1, 50, 54, 55, -1}) {  // only ids 2..49 are properties
        EXPECT_EQ(control->PutProperty(id, "x"), KESTREL_S_FALSE) << id;
        EXPECT_EQ(control->GetProperty(id, &text), KESTREL_S_FALSE) << id;
    }
    EXPECT_EQ(control->GetProperty(KESTREL_DISPID_MODE, nullptr), KESTREL_E_POINTER);
    control->ExecuteCommand("beep", "", "", &text);
    EXPECT_EQ(take(text), "Failure, no Vocoder");

    recording_sink sink;
    sink.refused = {KESTREL_DISPID_CAS_PIN};
    control->Advise(&sink);
    EXPECT_EQ(control->IsDirty(), KESTREL_S_FALSE);
    EXPECT_EQ(control->PutProperty(KESTREL_DISPID_CAS_PIN, "1234"), KESTREL_S_FALSE);
    EXPECT_EQ(get(*control, KESTREL_DISPID_CAS_PIN), "Not Specified");
    EXPECT_EQ(control->IsDirty(), KESTREL_S_FALSE);
    EXPECT_EQ(control->PutProperty(KESTREL_DISPID_PORT, "2427"), KESTREL_S_OK);
    EXPECT_EQ(control->IsDirty(), KESTREL_S_OK);
    EXPECT_EQ(control->SetParameter("mgcpport", "2727"), KESTREL_S_OK);
    EXPECT_EQ(get(*control, KESTREL_DISPID_MGCP_PORT), "2727");
    EXPECT_EQ(sink.asked, (std::vector<int>{KESTREL_DISPID_CAS_PIN, KESTREL_DISPID_PORT}));
    EXPECT_EQ(sink.changed, std::vector<int>{KESTREL_DISPID_PORT});
    control->Unadvise();
    EXPECT_EQ(sink.refs, 1u);
    EXPECT_EQ(control->PutProperty(KESTREL_DISPID_CALLER_ID_NAME, nullptr), KESTREL_S_OK);
    EXPECT_EQ(get(*control, KESTREL_DISPID_CALLER_ID_NAME), "");  // null reads as empty

    // Deleting the window ends the control.
    delete control->Widget();
    EXPECT_EQ(control->Widget(), nullptr);
    EXPECT_EQ(control->PutProperty(KESTREL_DISPID_PORT, "1"), KESTREL_E_FAIL);
    EXPECT_EQ(control->GetParameter("Port", &text), KESTREL_E_FAIL);
    EXPECT_EQ(control->IsDirty(), KESTREL_E_FAIL);
}

TEST(ActiveXPhone, PropertyBagSavesAllPropertiesAndLoadsThemBack) {
    auto first = make_control();
    first->PutProperty(KESTREL_DISPID_STATUS_MESSAGES, "a\\b\nc|d");
    first->SetParameter("NotAProperty", "kept out");
    char* saved = nullptr;
    ASSERT_EQ(first->SavePropertyBag(&saved), KESTREL_S_OK);
    const std::string bag = take(saved);
    EXPECT_EQ(std::count(bag.begin(), bag.end(), '\n'), 48);
    EXPECT_NE(bag.find("StatusMessages=a\\\\b\\nc|d\n"), std::string::npos);
    EXPECT_EQ(bag.find("NotAProperty"), std::string::npos);
    EXPECT_EQ(first->IsDirty(), KESTREL_S_FALSE);

    auto second = make_control();
    EXPECT_EQ(second->LoadPropertyBag(bag.c_str()), KESTREL_S_OK);
    EXPECT_EQ(get(*second, KESTREL_DISPID_STATUS_MESSAGES), "a\\b\nc|d");
    EXPECT_EQ(get(*second, KESTREL_DISPID_LAYOUT), get(*first, KESTREL_DISPID_LAYOUT));

    // Bad lines are dropped, the rest applied in order.
    EXPECT_EQ(second->LoadPropertyBag("Port=1\nno equals\nPort=2\nBogus=3\nMode=bad\\q\r\n"),
              KESTREL_S_FALSE);
    EXPECT_EQ(get(*second, KESTREL_DISPID_PORT), "2");
    EXPECT_EQ(get(*second, KESTREL_DISPID_MODE), "Not Specified");
    EXPECT_EQ(second->IsDirty(), KESTREL_S_FALSE);
}

TEST(ActiveXPhone, SetUpAsksForTheAdapterWithoutWaiting) {
    auto control = make_control(
        ethernet({{"eth0", "192.168.1.20", "0101A8C0"}, {"eth1", "10.0.0.20", "0100000A"}}));
    control->InitialSetup();
    EXPECT_EQ(control->local_ip(), "");
    auto* dialog = control->Widget()->findChild<QDialog*>("adapterDialog");
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), "Select Active Network Adapter");
    auto* list = dialog->findChild<QComboBox*>("adapters");
    EXPECT_EQ(list->currentIndex(), 0);  // the first preselected
    list->setCurrentIndex(1);            // newest first: eth0 last
    dialog->accept();
    EXPECT_EQ(control->local_ip(), "192.168.1.20");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);  // the closed dialog

    // Asked again with Shift+Ctrl+F8, in the misc texts as they are now (4..6:
    // title, prompt, caption; 7: the LAN label), and closed without OK: the
    // preselected first entry (eth1) is not taken.
    control->SetParameter("MiscMessages", "m0|m1|m2|m3|Which?|Pick|Use it|LAN %1|M %1|m9|m10");
    for (int key : {kestrel::VK_SHIFT, kestrel::VK_CONTROL, kestrel::VK_F8})
        control->OnKeyDown(key);
    dialog = control->Widget()->findChild<QDialog*>("adapterDialog");
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), "Which?");
    EXPECT_EQ(dialog->findChild<QPushButton*>()->text(), "Use it");
    EXPECT_TRUE(dialog->findChild<QComboBox*>("adapters")->itemText(1).startsWith("LAN eth0"));
    dialog->reject();
    EXPECT_NE(control->local_ip(), "10.0.0.20");
}

TEST(ActiveXPhone, FactoryKnowsThreeClasses) {
    for (const char* name : {KESTREL_CLASS_DUAL, KESTREL_CLASS_723, KESTREL_CLASS_729}) {
        IActiveXPhone* control = nullptr;
        ASSERT_EQ(kestrel::create_control(name, &control), KESTREL_S_OK) << name;
        EXPECT_EQ(control->Release(), 0u);
    }
    IActiveXPhone* control = reinterpret_cast<IActiveXPhone*>(1);
    EXPECT_EQ(kestrel::create_control("TarnwickVXL", &control), KESTREL_E_CLASS_NOT_REGISTERED);
    EXPECT_EQ(control, nullptr);
    EXPECT_EQ(kestrel::create_control(KESTREL_CLASS_DUAL, nullptr), KESTREL_E_POINTER);
}

}  // namespace
}  // namespace voxline::test

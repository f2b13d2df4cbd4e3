// Equalizer and reverb presets in both text flavours, and the preset defaults.
#include "ContractSupport.h"
#include "test_support.h"

#include <cstring>

namespace contract {
namespace {

constexpr DWORD kUser = KV_PRESET_USER;

std::wstring ActiveKey(const Ref& presets)
{
    wchar_t key[160] = L"";
    EXPECT_EQ(S_OK, CallSlot(presets.get(), 8, key));
    return key;
}

std::vector<std::wstring> WideKeys(const Ref& presets, std::vector<DWORD>* pKinds = nullptr)
{
    std::vector<std::wstring> keys;
    wchar_t key[160];
    DWORD dwKind = 0;
    for (UINT i = 0; i < 64 && CallSlot(presets.get(), 7, i, &dwKind, key) == S_OK; ++i) {
        keys.emplace_back(key);
        if (pKinds) pKinds->push_back(dwKind);
    }
    return keys;
}

std::vector<float> Levels(int nNode)  // bands, then pre-amplification
{
    kvsim::Equalizer eq = NodeCopy(nNode).features.eq;
    std::vector<float> v;
    for (int b = 0; b < eq.nBands; ++b) v.push_back(eq.bands[b].fLevel);
    v.push_back(eq.fPreamp);
    return v;
}

HRESULT Save(const Ref& presets, const wchar_t* name, wchar_t* key)
{
    return CallSlot(presets.get(), 11, DWORD{0}, DWORD{0}, DWORD{2}, name, key);
}

TEST_F(ContractTest, EqualizerPresetsListNameAndActivate)
{
    Ref presets = SpeakersFeature(IID_ISNDIEQPresetU);
    std::vector<DWORD> kinds;
    EXPECT_EQ((std::vector<std::wstring>{L"eq-flat", L"eq-rock", L"user-1"}), WideKeys(presets, &kinds));
    EXPECT_EQ((std::vector<DWORD>{KV_PRESET_BUILTIN, KV_PRESET_BUILTIN, kUser}), kinds);
    wchar_t name[128];
    EXPECT_EQ(S_OK, CallSlot(presets.get(), 14, L"user-1", name));
    EXPECT_STREQ(L"My Evening", name);
    EXPECT_LT(CallSlot(presets.get(), 14, L"nope", name), 0);

    struct Case {
        const wchar_t* key;
        bool bAccepted;
        std::vector<float> levelsAfter;
    } const cases[] = {
        {L"eq-rock", true, {5, -1, 4, -4}},
        {L"<Custom>", true, {5, -1, 4, -4}},  // keeps what is set
        {L"eq-none", false, {5, -1, 4, -4}},
        {L"EQ-FLAT", false, {5, -1, 4, -4}},  // keys are exact
        {L"user-1", true, {2, 1, 2, -1.5f}},
    };
    std::wstring active = L"eq-flat";
    EXPECT_EQ(active, ActiveKey(presets));
    for (const Case& c : cases) {
        SCOPED_TRACE(kvtest::Narrow(c.key));
        EXPECT_EQ(c.bAccepted, SUCCEEDED(CallSlot(presets.get(), 9, c.key)));
        if (c.bAccepted) active = c.key;
        EXPECT_EQ(active, ActiveKey(presets));
        EXPECT_EQ(c.levelsAfter, Levels(m_nSpeakers));
    }
}

TEST_F(ContractTest, OnlyUserPresetsAreDeleted)
{
    Ref presets = SpeakersFeature(IID_ISNDIEQPresetU);
    ASSERT_EQ(S_OK, CallSlot(presets.get(), 9, L"user-1"));
    EXPECT_EQ(E_ACCESSDENIED, CallSlot(presets.get(), 10, L"eq-rock"));
    EXPECT_LT(CallSlot(presets.get(), 10, L"nope"), 0);
    EXPECT_LT(CallSlot(presets.get(), 10, L"<Custom>"), 0);
    EXPECT_EQ(S_OK, CallSlot(presets.get(), 10, L"user-1"));
    EXPECT_EQ((std::vector<std::wstring>{L"eq-flat", L"eq-rock"}), WideKeys(presets));
    EXPECT_EQ(L"<Custom>", ActiveKey(presets)) << "the deleted preset was active";
}

TEST_F(ContractTest, SavingStoresTheCurrentLevelsUnderANewOrSameNamedUserPreset)
{
    Ref eq = SpeakersFeature(IID_ISNDIEQ), presets = SpeakersFeature(IID_ISNDIEQPresetU);
    for (UINT b = 0; b < 3; ++b) ASSERT_EQ(S_OK, CallSlot(eq.get(), 6, b, float(b + 1)));
    wchar_t key[160] = L"", name[128];
    ASSERT_EQ(S_OK, Save(presets, L"Night", key));
    std::wstring newKey = key;
    std::vector<DWORD> kinds;
    EXPECT_EQ((std::vector<std::wstring>{L"eq-flat", L"eq-rock", L"user-1", newKey}), WideKeys(presets, &kinds));
    EXPECT_EQ(kUser, kinds[3]);
    EXPECT_EQ(newKey, ActiveKey(presets));
    kvsim::Preset saved = NodeCopy(m_nSpeakers).features.eqPresets.presets[3];
    EXPECT_EQ((std::vector<float>{1, 2, 3}), std::vector<float>(saved.fLevels, saved.fLevels + 3));

    // The save dialog matches names ignoring case, then overwrites.
    ASSERT_EQ(S_OK, CallSlot(eq.get(), 6, 0u, -2.0f));
    ASSERT_EQ(S_OK, Save(presets, L"night", key));
    EXPECT_EQ(newKey, key);
    EXPECT_EQ(4u, WideKeys(presets).size());
    EXPECT_EQ(S_OK, CallSlot(presets.get(), 14, key, name));
    EXPECT_STREQ(L"night", name);
    EXPECT_EQ(-2, NodeCopy(m_nSpeakers).features.eqPresets.presets[3].fLevels[0]);

    EXPECT_EQ(E_ACCESSDENIED, Save(presets, L"ROCK", key)) << "a built-in name";
    EXPECT_LT(Save(presets, L"", key), 0);
    for (int i = 4; i < kvsim::kMaxPresets; ++i)
        ASSERT_EQ(S_OK, Save(presets, (L"fill " + std::to_wstring(i)).c_str(), key)) << i;
    EXPECT_LT(Save(presets, L"one too many", key), 0);
    EXPECT_EQ(size_t(kvsim::kMaxPresets), WideKeys(presets).size());
}

TEST_F(ContractTest, ConfigurationBlockLanguageAndPresetSet)
{
    Ref eqPresets = SpeakersFeature(IID_ISNDIEQPresetU), item;
    KVPRESETCONFIG block = KVMakePresetConfig();
    EXPECT_EQ(S_OK, CallSlot(eqPresets.get(), 13, &block));
    memset(&block, 0xA5, sizeof(block));  // taken as passed, whatever it holds
    EXPECT_EQ(S_OK, CallSlot(eqPresets.get(), 13, &block));
    EXPECT_EQ(S_OK, CallSlot(eqPresets.get(), 15, DWORD{1031}));
    ASSERT_EQ(S_OK, CallSlot(SpeakersFeature(IID_ISNDIRVXPresetList).get(), 7, 0u, item.Put<ISNDIRVXPresetU>()));
    GUID other = KV_RVX_PRESET_SET;
    other.Data1 ^= 1;
    EXPECT_EQ(E_INVALIDARG, CallSlot(item.get(), 16, &other));
    EXPECT_FALSE(NodeCopy(m_nSpeakers).features.rvxPresets.bSetSelected);
    EXPECT_EQ(S_OK, CallSlot(item.get(), 16, &KV_RVX_PRESET_SET));
    kvsim::Node n = NodeCopy(m_nSpeakers);
    EXPECT_TRUE(n.features.eqPresets.dwConfigCalls == 2 && n.features.eqPresets.dwLanguage == 1031);
    EXPECT_TRUE(n.features.rvxPresets.bSetSelected);
}

TEST_F(ContractTest, NarrowFlavoursUseTheCallersBuffersAtTheirOwnSlots)
{
    Ref dev = Device();
    EXPECT_FALSE(Feature(dev, IID_ISNDIEQPresetU)) << "the device offers only the narrow flavour";
    Ref eqp = Feature(dev, IID_ISNDIEQPreset), rvx = Feature(dev, IID_ISNDIRVXPreset);
    ASSERT_TRUE(eqp && rvx);
    char key[128], name[8], newKey[128] = "", newName[] = "Evening";
    char *pKey = key, *pNewKey = newKey;
    DWORD dwKind = 0;
    ASSERT_EQ(S_OK, CallSlot(eqp.get(), 7, 1u, &dwKind, &pKey));
    EXPECT_STREQ("dev-user", key);
    EXPECT_EQ(kUser, dwKind);
    EXPECT_LT(CallSlot(eqp.get(), 7, 2u, &dwKind, &pKey), 0);
    memset(name, 'S', sizeof(name));
    KVCOUNTEDSTR counted = {3, name};
    EXPECT_EQ(S_OK, CallSlot(eqp.get(), 14, "dev-user", &counted));
    EXPECT_STREQ("Mi", name) << "cut to the capacity";
    EXPECT_EQ('S', name[3]);
    EXPECT_EQ(S_OK, CallSlot(eqp.get(), 9, "dev-user"));
    EXPECT_EQ(3, NodeCopy(m_nDevice).features.eq.bands[0].fLevel);
    ASSERT_EQ(S_OK, CallSlot(eqp.get(), 8, &pKey));
    EXPECT_STREQ("dev-user", key);
    KVCOUNTEDSTR nameIn = {sizeof(newName), newName}, empty = {0, nullptr};
    EXPECT_EQ(S_OK, CallSlot(eqp.get(), 11, DWORD{0}, DWORD{0}, DWORD{2}, &nameIn, &pNewKey));
    EXPECT_NE('\0', newKey[0]);
    EXPECT_LT(CallSlot(eqp.get(), 11, DWORD{0}, DWORD{0}, DWORD{2}, &empty, &pNewKey), 0);
    EXPECT_EQ(S_OK, CallSlot(eqp.get(), 10, newKey));
    EXPECT_EQ(E_ACCESSDENIED, CallSlot(eqp.get(), 10, "eq-flat"));

    // Reverb: name 18, language 19, preset set 14, switch 15/16/17.
    char rvxName[128];
    KVCOUNTEDSTR rvxCounted = {sizeof(rvxName), rvxName};
    BOOL b = TRUE;
    EXPECT_EQ(S_OK, CallSlot(rvx.get(), 7, 0u, &dwKind, &pKey));
    EXPECT_STREQ("rvx-small", key);
    EXPECT_EQ(S_OK, CallSlot(rvx.get(), 18, "rvx-small", &rvxCounted));
    EXPECT_STREQ("Small", rvxName);
    EXPECT_EQ(S_OK, CallSlot(rvx.get(), 19, DWORD{1031}));
    EXPECT_EQ(S_OK, CallSlot(rvx.get(), 14, &KV_RVX_PRESET_SET));
    EXPECT_EQ(S_OK, CallSlot(rvx.get(), 15));
    EXPECT_EQ(S_OK, CallSlot(rvx.get(), 17, &b));
    EXPECT_TRUE(b);
    EXPECT_EQ(S_OK, CallSlot(rvx.get(), 16));
    EXPECT_EQ(S_OK, CallSlot(rvx.get(), 9, "rvx-small"));
    kvsim::Node n = NodeCopy(m_nDevice);
    EXPECT_EQ(15, n.features.rvx.env.fValue);
    EXPECT_TRUE(n.features.rvxPresets.dwLanguage == 1031 && n.features.rvxPresets.bSetSelected);
    EXPECT_TRUE(n.features.rvx.bPresetsEnabled) << "choosing a preset switches the presets on again";
}

TEST_F(ContractTest, ReverbPresetListHandsOutRankedItems)
{
    Ref list = SpeakersFeature(IID_ISNDIRVXPresetList), item, past;
    const DWORD ranks[][2] = {{1, KV_RVX_MODE_DEFAULT}, {3, KV_RVX_MODE_FOLLOWS_ENV}};
    for (UINT i = 0; i < 2; ++i) {
        ASSERT_EQ(S_OK, CallSlot(list.get(), 7, i, item.Put<ISNDIRVXPresetU>()));
        DWORD dwRank = 0, dwMode = KV_RVX_MODE_DEFAULT;
        EXPECT_EQ(S_OK, CallSlot(item.get(), 20, &dwRank, &dwMode));
        EXPECT_TRUE(dwRank == ranks[i][0] && dwMode == ranks[i][1]) << i;
    }
    EXPECT_LT(CallSlot(list.get(), 7, 2u, past.Put<ISNDIRVXPresetU>()), 0);

    EXPECT_EQ((std::vector<std::wstring>{L"rvx-room", L"rvx-hall"}), WideKeys(item));
    wchar_t name[128];
    EXPECT_EQ(S_OK, CallSlot(item.get(), 14, L"rvx-hall", name));
    EXPECT_STREQ(L"Hall", name);
    EXPECT_EQ(S_OK, CallSlot(item.get(), 9, L"rvx-hall"));
    EXPECT_EQ(45, NodeCopy(m_nSpeakers).features.rvx.env.fValue);
    EXPECT_LT(CallSlot(item.get(), 9, L"rvx-none"), 0);
    BOOL b = TRUE;
    EXPECT_EQ(S_OK, CallSlot(item.get(), 18));
    EXPECT_EQ(S_OK, CallSlot(item.get(), 19, &b));
    EXPECT_FALSE(b);
    EXPECT_EQ(S_OK, CallSlot(item.get(), 17));
    EXPECT_EQ(S_OK, CallSlot(item.get(), 19, &b));
    EXPECT_TRUE(b);
}

TEST_F(ContractTest, PresetDefaultsRestoreTheListsOfTheNodeOrTheWholeAdaptor)
{
    Ref ep = Speakers(), adaptor;
    Ref presets = Feature(ep, IID_ISNDIEQPresetU), micPresets = Feature(Microphone(), IID_ISNDIEQPresetU);
    ASSERT_EQ(S_OK, CallSlot(presets.get(), 10, L"user-1"));
    ASSERT_EQ(S_OK, CallSlot(micPresets.get(), 10, L"mic-1"));
    KVPRESETCONFIG block = KVMakePresetConfig();
    EXPECT_EQ(S_OK, CallSlot(Feature(ep, IID_ISNDIPresetDefaults).get(), 7, &block));
    EXPECT_EQ(3u, WideKeys(presets).size());
    EXPECT_EQ(L"eq-flat", ActiveKey(presets));
    EXPECT_EQ(0u, WideKeys(micPresets).size()) << "another node's list stays";
    EXPECT_EQ(1u, NodeCopy(m_nSpeakers).dwPresetRestoreCount);

    ASSERT_EQ(S_OK, CallSlot(ep.get(), 10, adaptor.Put<IKVAdaptor>()));
    memset(&block, 0x5A, sizeof(block));
    EXPECT_EQ(S_OK, CallSlot(Feature(adaptor, IID_ISNDIPresetDefaults, nullptr, 8).get(), 7, &block));
    EXPECT_EQ((std::vector<std::wstring>{L"mic-1"}), WideKeys(micPresets));
    kvsim::StateLock lock;
    EXPECT_EQ(1u, lock->adaptors[kvsim::FindAdaptor(*lock, kAdaptorId)].dwPresetRestoreCount);
    EXPECT_EQ(1u, lock->nodes[m_nSpeakers].dwPresetRestoreCount) << "counted on the adaptor only";
}

// The equalizer page's hostile driver, loaded from the file shipped beside
// the tools: a device with the narrow preset flavour only, whose names and
// labels come back unterminated.
class HostileEqualizer : public ContractTest {
protected:
    void SetUp() override
    {
        ContractTest::SetUp();
        const std::wstring path = kvtest::ExeDirectory() + L"topologies\\hostile-eq.kvtopo";
        wchar_t error[256] = L"";
        ASSERT_TRUE(kvsim::LoadTopologyFile(path.c_str(), error, 256)) << kvtest::Narrow(error);
        m_nNode = NodeIndex(L"Codec With A Crowded Equalizer");
        Ref dev = Device();
        m_eq = Feature(dev, IID_ISNDIEQ);
        m_presets = Feature(dev, IID_ISNDIEQPreset);
        ASSERT_TRUE(m_nNode >= 0 && m_eq && m_presets);
        EXPECT_FALSE(Feature(dev, IID_ISNDIEQPresetU));
    }
    UINT CountPresets()
    {
        char key[128];
        char* pKey = key;
        DWORD dwKind = 0;
        UINT n = 0;
        while (n <= 2000 && CallSlot(m_presets.get(), 7, n, &dwKind, &pKey) == S_OK) ++n;
        return n;
    }
    int m_nNode = -1;
    Ref m_eq, m_presets;
};

TEST_F(HostileEqualizer, SeventeenFullLengthLabelsOverRangesOfTheirOwn)
{
    kvsim::Node node = NodeCopy(m_nNode);
    char label[129], extra[64];
    UINT nBands = 0, nBelowZero = 0;
    for (;; ++nBands) {
        label[128] = 'S';  // one past the caller's buffer
        if (CallSlot(m_eq.get(), 3, nBands, label, extra) != S_OK) break;
        SCOPED_TRACE(nBands);
        EXPECT_EQ(63u, strnlen(node.features.eq.bands[nBands].szLabel, 64));
        EXPECT_EQ(0, memcmp(label, node.features.eq.bands[nBands].szLabel, 63)) << "all 63 bytes read back";
        EXPECT_EQ(nullptr, memchr(label, 0, 128)) << "and no terminator";
        EXPECT_EQ('S', label[128]);
        float fMin, fMax, fStep, fExtra;
        ASSERT_EQ(S_OK, CallSlot(m_eq.get(), 4, nBands, &fMin, &fMax, &fStep, &fExtra));
        nBelowZero += fMax < 0;
    }
    EXPECT_EQ(17u, nBands);
    EXPECT_EQ(1u, nBelowZero);
    // Zero is no level of the band below it.
    EXPECT_EQ(E_INVALIDARG, CallSlot(m_eq.get(), 6, 2u, 0.0f));
    EXPECT_EQ(S_OK, CallSlot(m_eq.get(), 6, 2u, -20.0f));
}

TEST_F(HostileEqualizer, AThousandPresetsMostOfThemMadeUp)
{
    EXPECT_EQ(1000u, CountPresets());
    char key[128], name[129];
    char* pKey = key;
    DWORD dwKind = 0;
    ASSERT_EQ(S_OK, CallSlot(m_presets.get(), 7, 6u, &dwKind, &pKey));
    EXPECT_STREQ("extra-0001", key);
    EXPECT_EQ(kUser, dwKind);
    ASSERT_EQ(S_OK, CallSlot(m_presets.get(), 7, 999u, &dwKind, &pKey));
    EXPECT_STREQ("extra-0994", key);

    name[128] = 'S';
    KVCOUNTEDSTR counted = {128, name};
    EXPECT_EQ(S_OK, CallSlot(m_presets.get(), 14, "name-128", &counted));
    EXPECT_EQ(0, memcmp(name + 120, "01234567S", 9)) << "the whole 128-character name, not a byte more";
    EXPECT_EQ(S_OK, CallSlot(m_presets.get(), 14, "extra-0042", &counted));
    EXPECT_EQ(0, memcmp(name, "Extra 0042", 10));

    // A made-up preset becomes current yet changes no level; it cannot be
    // deleted or saved over, and a real save takes the last one's place.
    std::vector<float> before = Levels(m_nNode);
    ASSERT_EQ(S_OK, CallSlot(m_presets.get(), 9, "extra-0042"));
    ASSERT_EQ(S_OK, CallSlot(m_presets.get(), 8, &pKey));
    EXPECT_STREQ("extra-0042", key);
    EXPECT_EQ(before, Levels(m_nNode));
    EXPECT_EQ(E_INVALIDARG, CallSlot(m_presets.get(), 9, "extra-0995"));
    EXPECT_EQ(E_INVALIDARG, CallSlot(m_presets.get(), 10, "extra-0042"));
    char taken[] = "EXTRA 0042", fresh[] = "Mine";
    KVCOUNTEDSTR takenName = {sizeof(taken), taken}, freshName = {sizeof(fresh), fresh};
    EXPECT_EQ(E_ACCESSDENIED, CallSlot(m_presets.get(), 11, DWORD{0}, DWORD{0}, kUser, &takenName, &pKey));
    EXPECT_EQ(S_OK, CallSlot(m_presets.get(), 11, DWORD{0}, DWORD{0}, kUser, &freshName, &pKey));
    EXPECT_EQ(1000u, CountPresets());
    ASSERT_EQ(S_OK, CallSlot(m_presets.get(), 7, 999u, &dwKind, &pKey));
    EXPECT_STREQ("extra-0993", key);
}

}  // namespace
}  // namespace contract

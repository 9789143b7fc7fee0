// The compiled resources of the Windows program, decoded from windres's .res output: dialog
// templates, string table, version record, manifest and icon, each held against what the
// program must contain.
#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Resource types.
constexpr int kIcon = 3;
constexpr int kDialog = 5;
constexpr int kString = 6;
constexpr int kIconGroup = 14;
constexpr int kVersion = 16;
constexpr int kManifest = 24;
constexpr std::uint16_t kJapanese = 0x0411;

// Window, dialog and control styles.
constexpr std::uint32_t WS_POPUP = 0x80000000, WS_CHILD = 0x40000000, WS_VISIBLE = 0x10000000,
                        WS_CAPTION = 0x00C00000, WS_BORDER = 0x00800000,
                        WS_SYSMENU = 0x00080000, WS_GROUP = 0x00020000,
                        WS_TABSTOP = 0x00010000, WS_EX_APPWINDOW = 0x00040000,
                        DS_MODALFRAME = 0x80, DS_SETFONT = 0x40, BS_PUSHBUTTON = 0,
                        BS_DEFPUSHBUTTON = 1, SS_LEFT = 0, SS_ICON = 3, SS_NOPREFIX = 0x80,
                        ES_LEFT = 0, ES_AUTOHSCROLL = 0x80;

// A resource number written as resource scripts write it, "#128".
std::u16string Number(int number)
{
    const std::string text = "#" + std::to_string(number);
    return {text.begin(), text.end()};
}

// Little-endian fields of one resource's data, or of the whole file; overruns throw.
class Reader {
public:
    Reader(const Bytes& bytes, std::size_t begin = 0, std::size_t end = SIZE_MAX)
        : m_bytes(bytes), m_pos(begin), m_end(std::min(end, bytes.size()))
    {
    }

    std::uint32_t Unsigned(int size)
    {
        if (m_pos + size > m_end) {
            throw std::out_of_range("resource data ends early");
        }
        std::uint32_t value = 0;
        for (int i = size - 1; i >= 0; --i) {
            value = value << 8 | m_bytes[m_pos + i];
        }
        m_pos += size;
        return value;
    }
    std::uint16_t U16() { return static_cast<std::uint16_t>(Unsigned(2)); }
    std::uint32_t U32() { return Unsigned(4); }
    std::int16_t I16() { return static_cast<std::int16_t>(U16()); }

    std::u16string String()
    {
        std::u16string text;
        for (char16_t c = U16(); c != 0; c = U16()) {
            text.push_back(c);
        }
        return text;
    }
    std::u16string NameOrNumber()
    {
        if (Peek16() != 0xFFFF) {
            return String();
        }
        Skip(2);
        return Number(U16());
    }
    std::uint16_t Peek16() const { return Reader(*this).U16(); }
    void Skip(std::size_t count) { m_pos += count; }
    void Seek(std::size_t pos) { m_pos = pos; }
    void Align4() { m_pos = (m_pos + 3) & ~std::size_t{3}; }
    std::size_t Pos() const { return m_pos; }
    bool AtEnd() const { return m_pos >= m_end; }

private:
    const Bytes& m_bytes;
    std::size_t m_pos;
    std::size_t m_end;
};

struct Resource {
    std::u16string type;
    std::u16string name;
    std::uint16_t language = 0;
    Bytes data;
};

// The records of a .res file: a header each (data size, header size, type, name, language)
// followed by the data, both padded to four bytes. The first record is the empty marker.
class ResourceFile {
public:
    ResourceFile()
    {
        std::ifstream file(ORVANE_RES_FILE, std::ios::binary);
        if (!file) {
            throw std::runtime_error("cannot open " ORVANE_RES_FILE);
        }
        const Bytes bytes{std::istreambuf_iterator<char>(file), {}};
        Reader reader(bytes);
        while (!reader.AtEnd()) {
            const std::size_t start = reader.Pos();
            const std::uint32_t dataSize = reader.U32();
            const std::uint32_t headerSize = reader.U32();
            if (headerSize < 24) {
                throw std::out_of_range("resource header too short");
            }
            Resource resource;
            resource.type = reader.NameOrNumber();
            resource.name = reader.NameOrNumber();
            reader.Align4();
            reader.Skip(6);  // data version, memory flags
            resource.language = reader.U16();
            if (start + headerSize + dataSize > bytes.size()) {
                throw std::out_of_range("resource data ends early");
            }
            const auto data = bytes.begin() + static_cast<std::ptrdiff_t>(start + headerSize);
            resource.data.assign(data, data + dataSize);
            reader.Seek(start + headerSize + dataSize);
            reader.Align4();
            if (dataSize > 0) {
                m_resources.push_back(std::move(resource));
            }
        }
    }

    const std::vector<Resource>& All() const { return m_resources; }

    const Bytes& Data(int type, int name) const
    {
        for (const Resource& resource : m_resources) {
            if (resource.type == Number(type) && resource.name == Number(name)) {
                return resource.data;
            }
        }
        throw std::out_of_range("no resource " + std::to_string(type) + "/" +
                                std::to_string(name));
    }

private:
    std::vector<Resource> m_resources;
};

const ResourceFile& Resources()
{
    static const ResourceFile file;
    return file;
}

struct Control {
    int id;
    std::u16string className;
    std::u16string text;
    int x, y, cx, cy;
    std::uint32_t style;
};

struct Dialog {
    bool extended = false;
    std::uint32_t style = 0, exStyle = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    std::u16string caption;
    int points = 0;
    std::u16string face;
    std::vector<Control> controls;
};

// The predefined control classes by their numbers, and any class name, in lower case.
std::u16string ClassName(std::u16string name)
{
    static const std::map<std::u16string, std::u16string> predefined = {
        {u"#128", u"button"}, {u"#129", u"edit"}, {u"#130", u"static"}};
    if (const auto it = predefined.find(name); it != predefined.end()) {
        return it->second;
    }
    std::transform(name.begin(), name.end(), name.begin(),
                   [](char16_t c) { return c >= u'A' && c <= u'Z' ? c + 32 : c; });
    return name;
}

// A plain or an extended dialog template with its controls.
Dialog ReadDialog(int id)
{
    const Bytes& data = Resources().Data(kDialog, id);
    Reader reader(data);
    Dialog dialog;
    dialog.extended = reader.U16() == 1 && reader.U16() == 0xFFFF;
    if (dialog.extended) {
        reader.Skip(4);  // help id
        dialog.exStyle = reader.U32();
        dialog.style = reader.U32();
    } else {
        reader.Seek(0);
        dialog.style = reader.U32();
        dialog.exStyle = reader.U32();
    }
    const int count = reader.U16();
    dialog.x = reader.I16();
    dialog.y = reader.I16();
    dialog.cx = reader.I16();
    dialog.cy = reader.I16();
    EXPECT_EQ(reader.NameOrNumber(), u"") << "menu";
    EXPECT_EQ(reader.NameOrNumber(), u"") << "window class";
    dialog.caption = reader.String();
    if (dialog.style & DS_SETFONT) {
        dialog.points = reader.U16();
        reader.Skip(dialog.extended ? 4 : 0);  // weight, italic, character set
        dialog.face = reader.String();
    }
    for (int i = 0; i < count; ++i) {
        reader.Align4();
        Control control{};
        std::uint32_t exStyle = 0;
        if (dialog.extended) {
            reader.Skip(4);  // help id
            exStyle = reader.U32();
            control.style = reader.U32();
        } else {
            control.style = reader.U32();
            exStyle = reader.U32();
        }
        EXPECT_EQ(exStyle, 0u) << "control " << i;
        control.x = reader.I16();
        control.y = reader.I16();
        control.cx = reader.I16();
        control.cy = reader.I16();
        control.id = dialog.extended ? static_cast<std::int32_t>(reader.U32()) : reader.I16();
        control.className = ClassName(reader.NameOrNumber());
        control.text = reader.NameOrNumber();
        reader.Skip(reader.U16());  // creation data
        dialog.controls.push_back(control);
    }
    return dialog;
}

// An expected text ending in this goes on with words of the program's own choice.
constexpr char16_t kMore = u'…';

void ExpectStartsWith(const std::u16string& text, const std::u16string& prefix)
{
    EXPECT_TRUE(text.starts_with(prefix) && text.size() > prefix.size())
        << "text of " << text.size() << " characters";
}

void ExpectControls(const Dialog& dialog, const std::vector<Control>& expected)
{
    ASSERT_EQ(dialog.controls.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("control " + std::to_string(i));
        const Control& actual = dialog.controls[i];
        EXPECT_EQ(actual.id, expected[i].id);
        EXPECT_EQ(actual.className, expected[i].className);
        if (expected[i].text.ends_with(kMore)) {
            ExpectStartsWith(actual.text, expected[i].text.substr(0, expected[i].text.size() - 1));
        } else {
            EXPECT_EQ(actual.text, expected[i].text);
        }
        EXPECT_EQ((std::vector{actual.x, actual.y, actual.cx, actual.cy}),
                  (std::vector{expected[i].x, expected[i].y, expected[i].cx, expected[i].cy}));
        EXPECT_EQ(actual.style, expected[i].style | WS_CHILD | WS_VISIBLE);
    }
}

constexpr int IDC_STATIC = -1;
constexpr const char16_t* kFace = u"ＭＳ Ｐゴシック";

// One node of the version record: a key, a text or binary value, and child nodes.
struct VersionNode {
    std::u16string key;
    std::u16string text;
    Bytes binary;
    std::vector<VersionNode> children;

    const VersionNode& Child(const std::u16string& childKey) const
    {
        for (const VersionNode& child : children) {
            if (child.key == childKey) {
                return child;
            }
        }
        throw std::out_of_range("no version node");
    }
};

VersionNode ReadVersionNode(const Bytes& data, std::size_t start)
{
    Reader header(data, start);
    const std::size_t end = start + header.U16();
    const std::uint16_t valueLength = header.U16();
    const bool isText = header.U16() == 1;
    VersionNode node;
    node.key = header.String();
    header.Align4();
    // Text values count characters, binary ones bytes.
    const std::size_t valueEnd = header.Pos() + (isText ? 2 * valueLength : valueLength);
    if (valueEnd > std::min(end, data.size())) {
        throw std::out_of_range("version node ends early");
    }
    if (isText && valueLength > 0) {
        node.text = Reader(data, header.Pos(), end).String();
    } else if (!isText) {
        node.binary.assign(data.begin() + static_cast<std::ptrdiff_t>(header.Pos()),
                           data.begin() + static_cast<std::ptrdiff_t>(valueEnd));
    }
    Reader children(data, valueEnd, end);
    for (children.Align4(); !children.AtEnd(); children.Align4()) {
        node.children.push_back(ReadVersionNode(data, children.Pos()));
        children.Skip(Reader(data, children.Pos()).U16());
    }
    return node;
}

std::vector<std::map<std::string, std::string>> AssemblyIdentities(const std::string& xml)
{
    static const std::regex element(R"(<assemblyIdentity\b([^>]*)>)");
    static const std::regex attribute(R"re((\w+)\s*=\s*"([^"]*)")re");
    std::vector<std::map<std::string, std::string>> identities;
    for (std::sregex_iterator it(xml.begin(), xml.end(), element), end; it != end; ++it) {
        const std::string attributes = (*it)[1];
        auto& identity = identities.emplace_back();
        for (std::sregex_iterator at(attributes.begin(), attributes.end(), attribute);
             at != end; ++at) {
            identity[(*at)[1]] = (*at)[2];
        }
    }
    return identities;
}

}  // namespace

TEST(ResourcesTest, EveryResourceIsJapaneseAndNoneIsMissingOrExtra)
{
    std::set<std::pair<std::u16string, std::u16string>> found;
    for (const Resource& resource : Resources().All()) {
        EXPECT_EQ(resource.language, kJapanese);
        if (resource.type != Number(kIcon)) {
            found.emplace(resource.type, resource.name);
        }
    }
    const std::set<std::pair<std::u16string, std::u16string>> expected = {
        {Number(kDialog), Number(100)},    {Number(kDialog), Number(102)},
        {Number(kString), Number(101 / 16 + 1)}, {Number(kIconGroup), Number(128)},
        {Number(kVersion), Number(1)},     {Number(kManifest), Number(1)}};
    EXPECT_EQ(found, expected);
}

TEST(ResourcesTest, ControlDialogTemplate)
{
    const Dialog dialog = ReadDialog(102);
    EXPECT_TRUE(dialog.extended);
    EXPECT_EQ(dialog.style,
              WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT);
    EXPECT_EQ(dialog.exStyle, WS_EX_APPWINDOW);
    EXPECT_EQ((std::vector{dialog.x, dialog.y, dialog.cx, dialog.cy}),
              (std::vector{0, 0, 263, 207}));
    ExpectStartsWith(dialog.caption, u"Orvane Version.1.0  ( Tesserium ");
    EXPECT_TRUE(dialog.caption.ends_with(u" )"));
    EXPECT_EQ(dialog.points, 9);
    EXPECT_EQ(dialog.face, kFace);

    ExpectControls(
        dialog,
        {{1000, u"button", u"開始", 45, 170, 135, 29, WS_TABSTOP | BS_DEFPUSHBUTTON},
         {1002, u"button", u"終了", 210, 185, 30, 15, WS_TABSTOP | BS_PUSHBUTTON},
         {IDC_STATIC, u"static", u"画像保存最大枚数", 45, 145, 60, 10, WS_GROUP | SS_LEFT},
         {1004, u"edit", u"", 110, 140, 25, 15, WS_BORDER | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL},
         {IDC_STATIC, u"static",
          u"マンデルブロー集合とは、Zn+1=Zn^2+C として、Zが発散しないCの領域です。"
          u"この時、発散の度合いに応じて色分けをすると、よく見るマンデルブロー集合の図になります。",
          35, 20, 210, 25, WS_GROUP | SS_LEFT},
         {IDC_STATIC, u"static",
          u"ところが、次のZを計算する際に、Zの虚部だけ絶対値を取ると、複素平面上の大方は"
          u"フラクタル(概ね右側)かカオス(概ね左側)になりますが、このちょうど境目あたりを拡大すると"
          u"信じられないほどバライエティ豊かな図形が見えてきます。",
          35, 50, 210, 35, WS_GROUP | SS_LEFT},
         {IDC_STATIC, u"static",
          u"その様子はまさに顕微鏡で覗いた細胞か微生物ウジャウジャの世界。"
          u"マンデルブロー集合には生物が潜んでいたのです!  (…",
          35, 90, 210, 30, WS_GROUP | SS_LEFT}});
}

TEST(ResourcesTest, AboutBoxTemplate)
{
    const Dialog dialog = ReadDialog(100);
    EXPECT_FALSE(dialog.extended);
    EXPECT_EQ(dialog.style, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT);
    EXPECT_EQ(dialog.exStyle, 0u);
    EXPECT_EQ((std::vector{dialog.x, dialog.y, dialog.cx, dialog.cy}),
              (std::vector{0, 0, 235, 55}));
    EXPECT_EQ(dialog.caption, u"Orvaneのﾊﾞｰｼﾞｮﾝ情報");
    EXPECT_EQ(dialog.points, 9);
    EXPECT_EQ(dialog.face, kFace);
    ExpectControls(
        dialog,
        {{IDC_STATIC, u"static", u"#128", 11, 17, 20, 20, SS_ICON},
         {IDC_STATIC, u"static", u"Orvane Version 1.0", 40, 10, 119, 8,
          WS_GROUP | SS_LEFT | SS_NOPREFIX},
         {IDC_STATIC, u"static", u"Tesserium …", 40, 25, 119, 15, WS_GROUP | SS_LEFT},
         {1, u"button", u"OK", 178, 7, 50, 14, WS_GROUP | WS_TABSTOP | BS_DEFPUSHBUTTON}});
}

TEST(ResourcesTest, TheStringTableHoldsOnlyTheAboutEntry)
{
    // Blocks of 16 counted strings; block n holds the ids 16 (n - 1) to 16 n - 1.
    std::map<int, std::u16string> strings;
    for (const Resource& resource : Resources().All()) {
        if (resource.type != Number(kString)) {
            continue;
        }
        const int first = (std::stoi(std::string(resource.name.begin() + 1,
                                                  resource.name.end())) - 1) * 16;
        Reader reader(resource.data);
        for (int i = 0; i < 16; ++i) {
            std::u16string text(reader.U16(), u'\0');
            for (char16_t& c : text) {
                c = reader.U16();
            }
            if (!text.empty()) {
                strings[first + i] = text;
            }
        }
    }
    EXPECT_EQ(strings, (std::map<int, std::u16string>{{101, u"Orvane のﾊﾞｰｼﾞｮﾝ情報(&A)..."}}));
}

TEST(ResourcesTest, VersionRecord)
{
    const VersionNode root = ReadVersionNode(Resources().Data(kVersion, 1), 0);
    EXPECT_EQ(root.key, u"VS_VERSION_INFO");
    const Bytes fixedInfo = root.binary;
    ASSERT_EQ(fixedInfo.size(), 52u);
    Reader fixed(fixedInfo);
    EXPECT_EQ(fixed.U32(), 0xFEEF04BDu);
    fixed.Skip(4);  // structure version
    EXPECT_EQ(fixed.U32(), 0x00010000u) << "file version 1.0";
    EXPECT_EQ(fixed.U32(), 0x00000001u) << "file version .0.1";
    EXPECT_EQ(fixed.U32(), 0x00010000u) << "product version 1.0";
    EXPECT_EQ(fixed.U32(), 0x00000001u) << "product version .0.1";
    fixed.Skip(8);  // flag mask, flags
    EXPECT_EQ(fixed.U32(), 0x00000004u) << "VOS__WINDOWS32";
    EXPECT_EQ(fixed.U32(), 0x00000001u) << "VFT_APP";

    const VersionNode& stringInfo = root.Child(u"StringFileInfo");
    ASSERT_EQ(stringInfo.children.size(), 1u);
    const VersionNode& table = stringInfo.children[0];
    EXPECT_EQ(table.key, u"041104b0");
    std::map<std::u16string, std::u16string> values;
    for (const VersionNode& value : table.children) {
        values[value.key] = value.text;
    }
    EXPECT_FALSE(values[u"CompanyName"].empty());
    EXPECT_FALSE(values[u"LegalCopyright"].empty());
    values.erase(u"CompanyName");
    values.erase(u"LegalCopyright");
    EXPECT_EQ(values, (std::map<std::u16string, std::u16string>{
                          {u"Comments", u""},
                          {u"FileDescription", u"Orvane MFC ｱﾌﾟﾘｹｰｼｮﾝ"},
                          {u"FileVersion", u"1, 0, 0, 1"},
                          {u"InternalName", u"Orvane"},
                          {u"LegalTrademarks", u""},
                          {u"OriginalFilename", u"Orvane.EXE"},
                          {u"PrivateBuild", u""},
                          {u"ProductName", u"Orvane ｱﾌﾟﾘｹｰｼｮﾝ"},
                          {u"ProductVersion", u"1, 0, 0, 1"},
                          {u"SpecialBuild", u""}}));
}

TEST(ResourcesTest, ManifestAsksForCommonControlsSix)
{
    const Bytes& data = Resources().Data(kManifest, 1);
    const std::string xml(data.begin(), data.end());
    const std::size_t dependency = xml.find("<dependentAssembly>");
    ASSERT_NE(dependency, std::string::npos);
    const auto program = AssemblyIdentities(xml.substr(0, dependency));
    const auto dependent = AssemblyIdentities(xml.substr(dependency));
    ASSERT_EQ(program.size(), 1u);
    ASSERT_EQ(dependent.size(), 1u);
    EXPECT_EQ(program[0].at("type"), "win32");
    EXPECT_EQ(program[0].at("version"), "1.0.0.0");
    EXPECT_EQ(program[0].at("processorArchitecture"), "X86");
    EXPECT_EQ(dependent[0].at("type"), "win32");
    EXPECT_EQ(dependent[0].at("name"), "Microsoft.Windows.Common-Controls");
    EXPECT_EQ(dependent[0].at("version"), "6.0.0.0");
    EXPECT_EQ(dependent[0].at("processorArchitecture"), "X86");
    EXPECT_EQ(dependent[0].at("language"), "*");
}

TEST(ResourcesTest, ManifestAsksForDevicePixelsTheUsersRightsAndNamesTheSystems)
{
    const Bytes& data = Resources().Data(kManifest, 1);
    const std::string xml(data.begin(), data.end());
    const auto element = [&xml](const std::string& name) {
        std::smatch match;
        const std::regex pattern("<" + name + "\\b[^>]*>([^<]*)</" + name + ">");
        return std::regex_search(xml, match, pattern) ? match[1].str() : std::string("(none)");
    };
    // Per monitor on Windows 10 from 1703 on, and per monitor before it.
    EXPECT_EQ(element("dpiAwareness"), "PerMonitorV2, PerMonitor");
    EXPECT_EQ(element("dpiAware"), "true/pm");
    // No elevation, and so no virtual store that would hide a folder it cannot write.
    EXPECT_TRUE(std::regex_search(
        xml, std::regex(R"(<requestedExecutionLevel\s+level="asInvoker"\s+uiAccess="false"\s*/>)")));
    std::set<std::string> systems;
    const std::regex supportedOs(R"re(<supportedOS\s+Id="(\{[0-9a-f-]+\})"\s*/>)re");
    for (auto at = std::sregex_iterator(xml.begin(), xml.end(), supportedOs);
         at != std::sregex_iterator(); ++at) {
        systems.insert((*at)[1]);
    }
    EXPECT_EQ(systems, (std::set<std::string>{
                           "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",    // Windows 7
                           "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",    // Windows 8
                           "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",    // Windows 8.1
                           "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}));  // Windows 10 and 11
}

TEST(ResourcesTest, IconHas48And32And16PixelsEachAt4And8And24Bits)
{
    // The group lists its images by number; each image starts with its bitmap header, whose
    // height counts the colour and the mask rows.
    Reader group(Resources().Data(kIconGroup, 128));
    group.Skip(4);  // reserved, type
    const int count = group.U16();
    std::multiset<std::pair<int, int>> images;
    for (int i = 0; i < count; ++i) {
        group.Skip(12);  // size, colours, planes, bits, byte count as the directory says them
        Reader image(Resources().Data(kIcon, group.U16()));
        image.Skip(4);  // header size
        const int width = static_cast<int>(image.U32());
        EXPECT_EQ(static_cast<int>(image.U32()), 2 * width);
        image.Skip(2);  // planes
        images.emplace(width, image.U16());
    }
    EXPECT_EQ(images, (std::multiset<std::pair<int, int>>{{16, 4}, {16, 8}, {16, 24},
                                                          {32, 4}, {32, 8}, {32, 24},
                                                          {48, 4}, {48, 8}, {48, 24}}));
}

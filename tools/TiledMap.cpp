// SPDX-License-Identifier: MIT
#include "TiledMap.h"
#include "TiledLayerData.h"

#include "app/Rom.h"
#include "tiles/Tileset.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <cmath>
#include <cstdio>
#include <vector>

namespace q2::tiled {

namespace {

constexpr int kTileCount = 256;
constexpr uint32_t kFlipBits = 0xF0000000u;  // horizontal, vertical, diagonal, hexagonal turn
constexpr char kLayerName[] = "Map";

// Property names of the origin.
constexpr char kIndexProperty[] = "catalogueIndex";
constexpr char kNameProperty[] = "mapName";
constexpr char kOffsetProperty[] = "mapOffset";
constexpr char kTitleProperty[] = "romTitle";

std::string Hex(int32_t value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%05X", unsigned(value));
    return buffer;
}

QString Q(const std::string& text) { return QString::fromStdString(text); }

// ------------------------------------------------------------- writing --

uint32_t Gid(const MapGrid& grid, int x, int y) {
    return uint32_t(grid(x, y, 1)) * kTilesetTilesPerRow + grid(x, y, 0) + 1;
}

std::string TilesetName(const std::string& imageName) {
    return imageName.substr(0, imageName.rfind('.'));
}

QByteArray WriteTmx(const MapGrid& grid, const Origin& origin, const std::string& imageName) {
    QByteArray out;
    QXmlStreamWriter w(&out);
    w.setAutoFormatting(true);
    w.setAutoFormattingIndent(1);
    w.writeStartDocument();
    w.writeStartElement("map");
    w.writeAttribute("version", "1.8");
    w.writeAttribute("orientation", "orthogonal");
    w.writeAttribute("renderorder", "right-down");
    w.writeAttribute("width", QString::number(grid.Columns()));
    w.writeAttribute("height", QString::number(grid.Rows()));
    w.writeAttribute("tilewidth", QString::number(kTileSize));
    w.writeAttribute("tileheight", QString::number(kTileSize));
    w.writeAttribute("infinite", "0");
    w.writeAttribute("nextlayerid", "2");
    w.writeAttribute("nextobjectid", "1");

    w.writeStartElement("properties");
    auto property = [&](const char* name, const char* type, const QString& value) {
        w.writeStartElement("property");
        w.writeAttribute("name", name);
        if (type) w.writeAttribute("type", type);
        w.writeAttribute("value", value);
        w.writeEndElement();
    };
    property(kIndexProperty, "int", QString::number(origin.index));
    property(kNameProperty, nullptr, Q(origin.name));
    property(kOffsetProperty, nullptr, Q("0x" + Hex(origin.mapOffset)));
    property(kTitleProperty, nullptr, Q(origin.romTitle));
    w.writeEndElement();

    w.writeStartElement("tileset");
    w.writeAttribute("firstgid", "1");
    w.writeAttribute("name", Q(TilesetName(imageName)));
    w.writeAttribute("tilewidth", QString::number(kTileSize));
    w.writeAttribute("tileheight", QString::number(kTileSize));
    w.writeAttribute("tilecount", QString::number(kTileCount));
    w.writeAttribute("columns", QString::number(kTilesetTilesPerRow));
    w.writeStartElement("image");
    w.writeAttribute("source", Q(imageName));
    w.writeAttribute("width", QString::number(kTilesetPixels));
    w.writeAttribute("height", QString::number(kTilesetPixels));
    w.writeEndElement();
    w.writeEndElement();

    w.writeStartElement("layer");
    w.writeAttribute("id", "1");
    w.writeAttribute("name", kLayerName);
    w.writeAttribute("width", QString::number(grid.Columns()));
    w.writeAttribute("height", QString::number(grid.Rows()));
    w.writeStartElement("data");
    w.writeAttribute("encoding", "csv");
    QString csv = "\n";
    for (int y = 0; y < grid.Rows(); ++y) {
        for (int x = 0; x < grid.Columns(); ++x) {
            csv += QString::number(Gid(grid, x, y));
            if (x + 1 < grid.Columns() || y + 1 < grid.Rows()) csv += ',';
        }
        csv += '\n';
    }
    w.writeCharacters(csv);
    w.writeEndElement();  // data
    w.writeEndElement();  // layer
    w.writeEndElement();  // map
    w.writeEndDocument();
    return out;
}

QByteArray WriteJson(const MapGrid& grid, const Origin& origin, const std::string& imageName) {
    QJsonArray data;
    for (int y = 0; y < grid.Rows(); ++y)
        for (int x = 0; x < grid.Columns(); ++x) data.append(qint64(Gid(grid, x, y)));
    const QJsonObject layer{
        {"data", data},           {"height", grid.Rows()}, {"id", 1},      {"name", kLayerName},
        {"opacity", 1},           {"type", "tilelayer"},   {"visible", true}, {"width", grid.Columns()},
        {"x", 0},                 {"y", 0},
    };
    const QJsonObject tileset{
        {"columns", kTilesetTilesPerRow}, {"firstgid", 1},         {"image", Q(imageName)},
        {"imageheight", kTilesetPixels},  {"imagewidth", kTilesetPixels}, {"margin", 0},
        {"name", Q(TilesetName(imageName))}, {"spacing", 0},        {"tilecount", kTileCount},
        {"tileheight", kTileSize},        {"tilewidth", kTileSize},
    };
    auto property = [](const char* name, const char* type, const QJsonValue& value) {
        return QJsonObject{{"name", name}, {"type", type}, {"value", value}};
    };
    const QJsonArray properties{
        property(kIndexProperty, "int", origin.index),
        property(kNameProperty, "string", Q(origin.name)),
        property(kOffsetProperty, "string", Q("0x" + Hex(origin.mapOffset))),
        property(kTitleProperty, "string", Q(origin.romTitle)),
    };
    const QJsonObject map{
        {"height", grid.Rows()},     {"infinite", false},        {"layers", QJsonArray{layer}},
        {"nextlayerid", 2},          {"nextobjectid", 1},        {"orientation", "orthogonal"},
        {"properties", properties},  {"renderorder", "right-down"}, {"tileheight", kTileSize},
        {"tilesets", QJsonArray{tileset}}, {"tilewidth", kTileSize}, {"type", "map"},
        {"version", "1.8"},          {"width", grid.Columns()},
    };
    return QJsonDocument(map).toJson(QJsonDocument::Indented);
}

// ------------------------------------------------------------- reading --

struct TilesetInfo {
    std::string file;  // the file that describes it, for messages
    std::string name;
    std::string source;  // an external tileset: its file, relative to the map
    long long firstGid = 0, tileWidth = 0, tileHeight = 0, tileCount = 0, columns = 0;
};

struct LayerInfo {
    std::string name;
    long long width = 0, height = 0;
    bool chunked = false;
    std::string encoding, compression;
    QByteArray text;               // CSV or base64, as written
    bool listed = false;           // gids given one by one (JSON array, XML tile elements)
    std::vector<uint32_t> gids;    // those gids, at most one more than the map has cells
    size_t listedCount = 0;        // how many there were in all
};

struct MapInfo {
    std::string orientation;
    bool infinite = false;
    long long width = 0, height = 0, tileWidth = 0, tileHeight = 0;
    std::vector<TilesetInfo> tilesets;
    std::vector<LayerInfo> layers;  // tile layers only, groups flattened
    std::optional<int> index;
    std::optional<std::string> romTitle;
};

// Keeps a gid given on its own, counting all but storing no more than limit.
void ListGid(LayerInfo& layer, uint32_t gid, size_t limit) {
    if (layer.gids.size() < limit) layer.gids.push_back(gid);
    ++layer.listedCount;
}

// A whole number in text (0 when there is none, as Tiled reads it), or a
// refusal naming what it was for.
long long Number(QStringView text, const std::string& file, const std::string& what) {
    if (text.trimmed().isEmpty()) return 0;
    bool ok = false;
    const long long value = text.trimmed().toLongLong(&ok);
    if (!ok) Refuse(file + ": " + what + " '" + Shown(text) + "' is not a whole number");
    return value;
}

long long JsonNumber(const QJsonValue& value, const std::string& file, const std::string& what) {
    if (value.isUndefined() || value.isNull()) return 0;
    const double d = value.toDouble(std::nan(""));
    if (!value.isDouble() || d != std::floor(d) || std::fabs(d) > 9.0e15)
        Refuse(file + ": " + what + " is not a whole number");
    return (long long)d;
}

std::optional<int> IndexProperty(const QString& value) {
    bool ok = false;
    const int index = value.toInt(&ok);
    return ok ? std::optional<int>(index) : std::nullopt;
}

// ---- XML ----

std::string XmlPlace(const QXmlStreamReader& xml, const std::string& file) {
    return file + ":" + std::to_string(xml.lineNumber()) + ":" + std::to_string(xml.columnNumber()) + ": ";
}

std::string XmlError(const QXmlStreamReader& xml, const std::string& file) {
    // The parser's own words can quote the file (an encoding's name, say).
    return XmlPlace(xml, file) + "not well-formed XML: " + Shown(xml.errorString(), 100);
}

// Reads the whole document once before anything is taken from it, so that a
// file that is not well-formed anywhere is refused, also where
// QXmlStreamReader lets it pass: a DOCTYPE after the root element has begun,
// or a second one. Entities whose text is nowhere in the file are refused by
// name instead of leaving a silent gap: one the file does not declare, and
// one declared as another file, which is never read.
void CheckXml(const QByteArray& contents, const std::string& file) {
    QXmlStreamReader xml(contents);
    bool rootSeen = false, doctypeSeen = false;
    std::string layer;    // name of the last layer begun
    bool inData = false;  // inside its <data>
    std::vector<QXmlStreamEntityDeclaration> external;
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            rootSeen = true;
            if (xml.name() == QLatin1String("layer")) layer = xml.attributes().value("name").toString().toStdString();
            if (xml.name() == QLatin1String("data")) inData = true;
            break;
        case QXmlStreamReader::EndElement:
            if (xml.name() == QLatin1String("data")) inData = false;
            break;
        case QXmlStreamReader::DTD:
            if (rootSeen || doctypeSeen)
                Refuse(XmlPlace(xml, file) + "not well-formed XML: " +
                       (rootSeen ? "a DOCTYPE after the root element has begun" : "a second DOCTYPE"));
            doctypeSeen = true;
            for (const QXmlStreamEntityDeclaration& entity : xml.entityDeclarations())
                if ((!entity.systemId().isEmpty() || !entity.publicId().isEmpty()) && entity.notationName().isEmpty())
                    external.push_back(entity);
            break;
        case QXmlStreamReader::EntityReference:
            Refuse(XmlPlace(xml, file) + (inData ? "layer " + Quoted(layer) + ": its data" : std::string("the text")) +
                   " holds the entity '&" + Shown(xml.name()) + ";', which the file does not declare");
        default: break;
        }
    }
    if (xml.hasError()) Refuse(XmlError(xml, file));
    // QXmlStreamReader leaves out the text of an entity declared as another
    // file without a word; a reference to one is looked for in the bytes.
    for (const QXmlStreamEntityDeclaration& entity : external) {
        if (contents.contains("&" + entity.name().toUtf8() + ";"))
            Refuse(file + ": the entity '&" + Shown(entity.name()) + ";' stands for the file '" +
                   Shown(entity.systemId()) + "', which is not read; its text must be in " +
                   QFileInfo(Q(file)).fileName().toStdString() + " itself");
    }
}

// Reads up to the root element; refuses anything but root.
void XmlRoot(QXmlStreamReader& xml, const std::string& file, const char* root) {
    while (!xml.atEnd() && !xml.isStartElement()) xml.readNext();
    if (xml.hasError()) Refuse(XmlError(xml, file));
    if (!xml.isStartElement()) Refuse(file + ": holds no XML element");
    if (xml.name() != QLatin1String(root))
        Refuse(file + ": not a Tiled " + (std::string(root) == "map" ? "map" : "tileset") + " (its root element is <" +
               Shown(xml.name()) + ">)");
}

// A tileset's fields in either format: field(key, what) gives a key's value
// as Number or JsonNumber reads it, text(key) as text.
template <typename Field, typename Text>
void TilesetFields(TilesetInfo& tileset, Field field, Text text) {
    tileset.name = text("name");
    tileset.source = text("source");
    tileset.firstGid = field("firstgid", "tileset first gid");
    tileset.tileWidth = field("tilewidth", "tileset tile width");
    tileset.tileHeight = field("tileheight", "tileset tile height");
    tileset.tileCount = field("tilecount", "tileset tile count");
    tileset.columns = field("columns", "tileset columns");
}

void XmlTilesetAttributes(const QXmlStreamReader& xml, TilesetInfo& tileset) {
    const QXmlStreamAttributes a = xml.attributes();
    TilesetFields(
        tileset, [&](const char* key, const char* what) { return Number(a.value(key), tileset.file, what); },
        [&](const char* key) { return a.value(key).toString().toStdString(); });
}

void XmlData(QXmlStreamReader& xml, LayerInfo& layer, size_t cells, const std::string& file) {
    layer.encoding = xml.attributes().value("encoding").toString().toStdString();
    layer.compression = xml.attributes().value("compression").toString().toStdString();
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isCharacters()) {
            layer.text += xml.text().toUtf8();
        } else if (xml.isStartElement()) {
            if (xml.name() == QLatin1String("chunk")) layer.chunked = true;
            if (xml.name() == QLatin1String("tile")) {
                layer.listed = true;
                const auto gid = xml.attributes().value("gid");
                bool ok = gid.isEmpty();
                const uint32_t value = gid.isEmpty() ? 0 : gid.toUInt(&ok);
                if (!ok)
                    Refuse(file + ": layer " + Quoted(layer.name) + ", " + Cell(layer.listedCount) + ": '" +
                           Shown(gid) + "' is not a gid");
                ListGid(layer, value, cells + 1);
            }
            xml.skipCurrentElement();
        } else if (xml.isEndElement()) {
            return;
        }
    }
}

void ReadTmx(const QByteArray& contents, const std::string& file, size_t cells, MapInfo& map) {
    CheckXml(contents, file);
    QXmlStreamReader xml(contents);
    XmlRoot(xml, file, "map");
    const QXmlStreamAttributes a = xml.attributes();
    map.orientation = a.value("orientation").toString().toStdString();
    map.infinite = a.value("infinite").trimmed() == QLatin1String("1");
    map.width = Number(a.value("width"), file, "map width");
    map.height = Number(a.value("height"), file, "map height");
    map.tileWidth = Number(a.value("tilewidth"), file, "tile width");
    map.tileHeight = Number(a.value("tileheight"), file, "tile height");

    int groups = 0;  // depth inside group layers, whose own properties are not the map's
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isEndElement()) {
            if (xml.name() == QLatin1String("group")) --groups;
            continue;
        }
        if (!xml.isStartElement()) continue;
        const auto name = xml.name();
        if (name == QLatin1String("group")) {
            ++groups;
        } else if (name == QLatin1String("layer")) {
            LayerInfo layer;
            const QXmlStreamAttributes la = xml.attributes();
            layer.name = la.value("name").toString().toStdString();
            layer.width = Number(la.value("width"), file, "layer " + Quoted(layer.name) + " width");
            layer.height = Number(la.value("height"), file, "layer " + Quoted(layer.name) + " height");
            while (xml.readNextStartElement()) {
                if (xml.name() == QLatin1String("data")) XmlData(xml, layer, cells, file);
                else
                    xml.skipCurrentElement();
            }
            map.layers.push_back(std::move(layer));
        } else if (name == QLatin1String("tileset") && groups == 0) {
            TilesetInfo tileset;
            tileset.file = file;
            XmlTilesetAttributes(xml, tileset);
            map.tilesets.push_back(std::move(tileset));
            xml.skipCurrentElement();
        } else if (name == QLatin1String("property") && groups == 0) {
            const QXmlStreamAttributes pa = xml.attributes();
            const QString value = pa.hasAttribute("value") ? pa.value("value").toString()
                                                     : xml.readElementText(QXmlStreamReader::SkipChildElements);
            if (pa.value("name") == QLatin1String(kIndexProperty)) map.index = IndexProperty(value);
            if (pa.value("name") == QLatin1String(kTitleProperty)) map.romTitle = Shown(value);
        } else if (name != QLatin1String("properties")) {
            xml.skipCurrentElement();  // object groups, image layers, editor settings, ...
        }
    }
    if (xml.hasError()) Refuse(XmlError(xml, file));
}

// ---- JSON ----

QJsonObject JsonRoot(const QByteArray& contents, const std::string& file) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(contents, &error);
    if (error.error != QJsonParseError::NoError)
        Refuse(file + ": not valid JSON at byte " + std::to_string(error.offset) + ": " +
               error.errorString().toStdString());
    if (!document.isObject()) Refuse(file + ": not a Tiled JSON file (no object at its top)");
    return document.object();
}

void JsonTileset(const QJsonObject& t, TilesetInfo& tileset) {
    TilesetFields(
        tileset, [&](const char* key, const char* what) { return JsonNumber(t.value(key), tileset.file, what); },
        [&](const char* key) { return t.value(key).toString().toStdString(); });
}

void JsonLayers(const QJsonArray& layers, const std::string& file, size_t cells, MapInfo& map) {
    for (const QJsonValue& value : layers) {
        const QJsonObject l = value.toObject();
        const QString type = l.value("type").toString();
        if (type == QLatin1String("group")) {
            JsonLayers(l.value("layers").toArray(), file, cells, map);  // nesting is bounded by the JSON parser
            continue;
        }
        if (type != QLatin1String("tilelayer")) continue;
        LayerInfo layer;
        layer.name = l.value("name").toString().toStdString();
        const std::string where = "layer " + Quoted(layer.name);
        layer.width = JsonNumber(l.value("width"), file, where + " width");
        layer.height = JsonNumber(l.value("height"), file, where + " height");
        layer.chunked = l.contains("chunks");
        layer.encoding = l.value("encoding").toString().toStdString();
        layer.compression = l.value("compression").toString().toStdString();
        const QJsonValue data = l.value("data");
        // As Tiled reads it: a string is base64 text, an array lists the gids.
        if (data.isString()) {
            if (layer.encoding != "base64")
                Refuse(file + ": " + where + ": data is a string, but " +
                       (layer.encoding.empty() ? std::string("no encoding is given")
                                               : "its encoding is " + Quoted(layer.encoding)) +
                       " (text data must be base64)");
            layer.text = data.toString().toUtf8();
        } else if (data.isArray()) {
            if (!layer.encoding.empty() && layer.encoding != "csv")
                Refuse(file + ": " + where + ": data is an array of gids, but its encoding is " +
                       Quoted(layer.encoding) + " (an array has none, or csv)");
            layer.listed = true;
            const QJsonArray gids = data.toArray();
            for (qsizetype i = 0; i < gids.size(); ++i) {
                const double d = gids[i].toDouble(-1);
                if (!gids[i].isDouble() || d < 0 || d > 4294967295.0 || d != std::floor(d))
                    Refuse(file + ": " + where + ", data item " + std::to_string(i) + " is not a gid");
                ListGid(layer, uint32_t(d), cells + 1);
            }
        } else if (!layer.chunked) {
            Refuse(file + ": " + where + " has no data");
        }
        map.layers.push_back(std::move(layer));
    }
}

void ReadJson(const QByteArray& contents, const std::string& file, size_t cells, MapInfo& map) {
    const QJsonObject m = JsonRoot(contents, file);
    if (m.contains("type") && m.value("type").toString() != QLatin1String("map"))
        Refuse(file + ": not a Tiled map (its type is '" + Shown(m.value("type").toString()) + "')");
    map.orientation = m.value("orientation").toString().toStdString();
    map.infinite = m.value("infinite").toBool();
    map.width = JsonNumber(m.value("width"), file, "map width");
    map.height = JsonNumber(m.value("height"), file, "map height");
    map.tileWidth = JsonNumber(m.value("tilewidth"), file, "tile width");
    map.tileHeight = JsonNumber(m.value("tileheight"), file, "tile height");
    for (const QJsonValue& value : m.value("tilesets").toArray()) {
        TilesetInfo tileset;
        tileset.file = file;
        JsonTileset(value.toObject(), tileset);
        map.tilesets.push_back(std::move(tileset));
    }
    JsonLayers(m.value("layers").toArray(), file, cells, map);
    for (const QJsonValue& value : m.value("properties").toArray()) {
        const QJsonObject p = value.toObject();
        const QJsonValue v = p.value("value");
        const QString text = v.isDouble() ? QString::number(v.toDouble()) : v.toString();
        if (p.value("name") == QLatin1String(kIndexProperty)) map.index = IndexProperty(text);
        if (p.value("name") == QLatin1String(kTitleProperty)) map.romTitle = Shown(text);
    }
}

// ---- files ----

// The file at path, whole; messages name it as shown.
QByteArray ReadWhole(const std::string& path, const std::string& shown) {
    RomReadResult file = ReadRomFile(path);  // the same careful whole-file read as the ROM's
    switch (file.status) {
    case RomReadStatus::Ok:
        return QByteArray(reinterpret_cast<const char*>(file.bytes.data()), qsizetype(file.bytes.size()));
    case RomReadStatus::Missing: Refuse(shown + ": no such file");
    case RomReadStatus::NotAFile: Refuse(shown + " is not a file");
    case RomReadStatus::TooLarge: Refuse(shown + " is larger than any map file can be (8 MiB)");
    case RomReadStatus::Empty: Refuse(shown + " is empty");
    case RomReadStatus::ReadError: break;
    }
    if (const size_t at = file.message.find(path); at != std::string::npos) file.message.replace(at, path.size(), shown);
    Refuse(file.message);
}

std::string AbsolutePath(const std::string& path) {
    return QDir::cleanPath(QFileInfo(Q(path)).absoluteFilePath()).toStdString();
}

// Fills in an external tileset from its own file, .tsx (XML) or .tsj (JSON)
// as its contents show.
void LoadExternalTileset(TilesetInfo& tileset, const std::string& mapPath, const FileSource& files) {
    const QString dir = QFileInfo(Q(mapPath)).path();
    const std::string path = QDir(dir).filePath(Q(tileset.source)).toStdString();
    // Its name as messages show it: the map file can put anything in it.
    const std::string file = QDir(dir).filePath(Q(Shown(Q(tileset.source), 100))).toStdString();
    QByteArray contents;
    try {
        if (!files) {
            contents = ReadWhole(path, file);
        } else if (std::optional<QByteArray> given = files(path)) {
            contents = std::move(*given);
        } else {
            Refuse(file + ": no such file");
        }
    } catch (const Refusal& refusal) {
        Refuse(mapPath + ": cannot read its tileset: " + refusal.message);
    }
    const long long firstGid = tileset.firstGid;
    tileset = TilesetInfo{};
    tileset.file = file;
    if (contents.trimmed().startsWith('{')) {
        const QJsonObject t = JsonRoot(contents, file);
        const QString type = t.value("type").toString();
        if (type == QLatin1String("map") || (!t.contains("type") && t.contains("layers")))
            Refuse(mapPath + ": its tileset " + file + " is a Tiled map, not a tileset");
        if (t.contains("type") && type != QLatin1String("tileset"))
            Refuse(file + ": not a Tiled tileset (its type is '" + Shown(type) + "')");
        JsonTileset(t, tileset);
    } else {
        CheckXml(contents, file);
        QXmlStreamReader xml(contents);
        XmlRoot(xml, file, "tileset");
        XmlTilesetAttributes(xml, tileset);
    }
    // Tiled reads a tileset file only as the tileset itself, never as a
    // pointer on to the map or to a further tileset file.
    if (!tileset.source.empty()) {
        const std::string next = QDir(QFileInfo(Q(path)).path()).filePath(Q(tileset.source)).toStdString();
        Refuse(mapPath + ": its tileset " + file + " only refers on to " + Quoted(tileset.source) +
               (AbsolutePath(next) == AbsolutePath(mapPath) ? ", the map itself," : "") +
               " instead of describing the tileset");
    }
    tileset.firstGid = firstGid;
}

// ---- layer data ----

std::vector<uint32_t> LayerGids(const LayerInfo& layer, size_t cells, const std::string& where) {
    if (layer.listed) {
        if (layer.listedCount != cells)
            Refuse(where + ": data holds " + std::to_string(layer.listedCount) + " cells, expected " +
                   std::to_string(cells));
        return layer.gids;
    }
    return DecodeLayerData(layer.encoding, layer.compression, layer.text, cells, where);
}

// ---- the checks ----

std::string Size(long long w, long long h) { return std::to_string(w) + " x " + std::to_string(h); }

MapGrid CheckedGrid(MapInfo& map, const std::string& file, int rows, const FileSource& files) {
    if (map.orientation != "orthogonal")
        Refuse(file + ": the map is " + (map.orientation.empty() ? "of no orientation" : Shown(Q(map.orientation))) +
               "; only orthogonal maps can be imported");
    if (map.infinite) Refuse(file + ": the map is infinite; only finite maps can be imported");
    if (map.tileWidth != kTileSize || map.tileHeight != kTileSize)
        Refuse(file + ": tiles are " + Size(map.tileWidth, map.tileHeight) + " pixels, expected 8 x 8");
    if (map.width != kMapColumns || map.height != rows)
        Refuse(file + ": the map is " + Size(map.width, map.height) + " cells, expected " + Size(kMapColumns, rows));

    if (map.tilesets.size() != 1)
        Refuse(file + ": the map has " + std::to_string(map.tilesets.size()) + " tilesets, expected exactly one");
    TilesetInfo& tileset = map.tilesets.front();
    if (!tileset.source.empty()) LoadExternalTileset(tileset, file, files);
    const std::string named = tileset.file + ": tileset " + Quoted(tileset.name);
    if (tileset.firstGid != 1) Refuse(named + " starts at gid " + std::to_string(tileset.firstGid) + ", expected 1");
    if (tileset.tileWidth != kTileSize || tileset.tileHeight != kTileSize)
        Refuse(named + " has tiles of " + Size(tileset.tileWidth, tileset.tileHeight) + " pixels, expected 8 x 8");
    if (tileset.tileCount != kTileCount || tileset.columns != kTilesetTilesPerRow)
        Refuse(named + " has " + std::to_string(tileset.tileCount) + " tiles in " + std::to_string(tileset.columns) +
               " columns, expected 256 in 16" + (tileset.tileCount == 0 ? " (is its image missing?)" : ""));

    if (map.layers.size() != 1)
        Refuse(file + ": the map has " + std::to_string(map.layers.size()) + " tile layers, expected exactly one");
    const LayerInfo& layer = map.layers.front();
    const std::string where = file + ": layer " + Quoted(layer.name);
    if (layer.chunked) Refuse(where + " is stored in chunks (an infinite map); only finite maps can be imported");
    if (layer.width != map.width || layer.height != map.height)
        Refuse(where + " is " + Size(layer.width, layer.height) + " cells, expected " + Size(map.width, map.height));

    const size_t cells = size_t(kMapColumns) * size_t(rows);
    const std::vector<uint32_t> gids = LayerGids(layer, cells, where);
    MapGrid grid(kMapColumns, rows);
    for (size_t i = 0; i < cells; ++i) {
        const uint32_t gid = gids[i];
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%08X", gid);
        if (gid & kFlipBits)
            Refuse(where + ", " + Cell(i) + ": the tile is flipped or rotated (gid " + hex +
                   "); the game cannot show that");
        if (gid == 0) Refuse(where + ", " + Cell(i) + ": the cell is empty (gid 0); every cell needs a tile");
        if (gid > kTileCount)
            Refuse(where + ", " + Cell(i) + ": gid " + std::to_string(gid) + " lies past the tileset's 256 tiles");
        const int tile = int(gid) - 1;
        grid(int(i % kMapColumns), int(i / kMapColumns), 0) = uint8_t(tile % kTilesetTilesPerRow);
        grid(int(i % kMapColumns), int(i / kMapColumns), 1) = uint8_t(tile / kTilesetTilesPerRow);
    }
    return grid;
}

} // namespace

std::optional<Format> FormatOf(const std::string& path) {
    const QString suffix = QFileInfo(Q(path)).suffix().toLower();
    if (suffix == QLatin1String("tmx")) return Format::Tmx;
    if (suffix == QLatin1String("tmj") || suffix == QLatin1String("json")) return Format::Json;
    return std::nullopt;
}

QByteArray WriteMap(Format format, const MapGrid& grid, const Origin& origin, const std::string& imageName) {
    return format == Format::Tmx ? WriteTmx(grid, origin, imageName) : WriteJson(grid, origin, imageName);
}

ReadResult ReadMap(Format format, const QByteArray& contents, const std::string& path, int rows,
                   const FileSource& files) {
    ReadResult result;
    try {
        MapInfo map;
        const size_t cells = size_t(kMapColumns) * size_t(rows);
        if (format == Format::Tmx) ReadTmx(contents, path, cells, map);
        else ReadJson(contents, path, cells, map);
        result.grid = CheckedGrid(map, path, rows, files);
        result.index = map.index;
        result.romTitle = map.romTitle;
        result.ok = true;
    } catch (const Refusal& refusal) {
        result.error = refusal.message;
    }
    return result;
}

ReadResult ReadMapFile(const std::string& path, int rows) {
    const std::optional<Format> format = FormatOf(path);
    if (!format) {
        ReadResult result;
        result.error = path + ": not a .tmx, .tmj or .json file";
        return result;
    }
    try {
        return ReadMap(*format, ReadWhole(path, path), path, rows);
    } catch (const Refusal& refusal) {
        ReadResult result;
        result.error = refusal.message;
        return result;
    }
}

} // namespace q2::tiled

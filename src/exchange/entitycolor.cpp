#include "exchange/entitycolor.h"

#include <cmath>
#include <cwchar>

#include "common/geometry/mathutil.h"
#include "oddbentity.h"
#include "oddbsymboltable.h"

const wchar_t* const LineStyleTable[kLineStyleCount] = {
    L"Continuous", L"DOT", L"JIS_02_1.0", L"DASHDOT", L"DIVIDE", L"DASHED", L"DASHDOTX2", L"DIVIDEX2",
};

const wchar_t* LineStyleName(uint32_t index) { return LineStyleTable[index < kLineStyleCount ? index : 0]; }

uint32_t ColorToRgbWord(const OdCmColor& color)
{
    if (color.isByColor())
        return (uint32_t)color.red() | ((uint32_t)color.green() << 8) | ((uint32_t)color.blue() << 16);
    return (uint32_t)CMathUtil::ColorIndexToRGB(color.colorIndex());
}

uint32_t GetEntityRgbColor(const OdDbEntity* entity)
{
    if (!entity) return 0;
    OdCmColor color = entity->color();
    if (color.colorIndex() == 0) return 0xffffff;
    if (color.colorIndex() == 256) {
        OdDbLayerTableRecord* layer = nullptr;
        if (oddbOpenObject(layer, entity->layerId(), OdDb::kForRead) == eOk) {
            color = layer->color();
            layer->close();
        }
    }
    return ColorToRgbWord(color);
}

uint32_t GetEntityOpacity(const OdDbEntity* entity)
{
    if (!entity) return 50;
    uint8_t alpha = entity->transparency().alpha();
    uint32_t percent = (uint32_t)(100.0 * alpha / 254.0 + 0.5);
    return percent == 0 ? 50 : percent;
}

uint32_t LineStyleOfName(const wchar_t* name)
{
    if (!name) return 0;
    if (wcscasecmp(name, L"Continuous") == 0) return 0;
    if (wcsstr(name, L"ACAD_ISO")) {
        if (wcscasecmp(name, L"ACAD_ISO02W100") == 0) return 2;
        if (wcscasecmp(name, L"ACAD_ISO07W100") == 0) return 1;
        if (wcscasecmp(name, L"ACAD_ISO04W100") == 0 || wcscasecmp(name, L"ACAD_ISO10W100") == 0) return 3;
        return 4;
    }
    // The longer names first: "DASHDOTX2" also holds "DASHDOT".
    static const struct {
        const wchar_t* part;
        uint32_t style;
    } parts[] = {{L"DASHDOTX2", 6}, {L"DIVIDEX2", 7}, {L"DASHDOT", 3}, {L"CENTER", 3}, {L"DIVIDE", 4}, {L"DASHED", 5}};
    for (const auto& p : parts)
        if (wcsstr(name, p.part)) return p.style;
    return 0;
}

uint32_t GetEntityLineStyle(const OdDbEntity* entity)
{
    if (!entity || !entity->isKindOf(OdDbCurve::desc())) return 0;
    OdString name = entity->linetype();
    if (name.iCompare(L"ByLayer") == 0 || name.iCompare(L"ByBlock") == 0) {
        OdDbLayerTableRecord* layer = nullptr;
        if (oddbOpenObject(layer, entity->layerId(), OdDb::kForRead) == eOk) {
            OdDbObjectId linetypeId = layer->linetypeObjectId();
            layer->close();
            OdDbLinetypeTableRecord* linetype = nullptr;
            if (oddbOpenObject(linetype, linetypeId, OdDb::kForRead) == eOk) {
                name = linetype->getName();
                linetype->close();
            }
        }
    }
    return LineStyleOfName(name.c_str());
}

OdCmColor MakeRgbColor(uint32_t word)
{
    OdCmColor color;
    color.setRGB((uint8_t)(word & 0xFF), (uint8_t)((word >> 8) & 0xFF), (uint8_t)((word >> 16) & 0xFF));
    return color;
}

// Block definitions, block references with attributes, and block
// definitions taken from drawing files.
#pragma once

#include "afxstr.h"
#include "common/document/entityprops.h"
#include "oddbblockreference.h"
#include "oddbsymboltable.h"

class CBlockUtil {
public:
    CBlockUtil() = default;
    virtual ~CBlockUtil() = default;

    // The block definition of that name; null when there is none.
    static OdDbObjectId GetBlockDefId(const wchar_t* blockName, OdDbDatabase* db);
    // A reference to the definition, posted to model space of the working
    // database.
    static OdDbObjectId InsertBlockRef(OdDbObjectId blockDefId, const OdGePoint3d& position, EntityProps props,
                                       double scale, double rotation);
    // The same, with one attribute for each attribute definition.
    static OdDbObjectId InsertBlockRefWithAttribute(OdDbObjectId blockDefId, const OdGePoint3d& position,
                                                    EntityProps props, double scale, double rotation);
    // Gives the reference (in a database, open for write) the attribute of
    // the definition.
    static void AppendAttributeToBlockRef(OdDbBlockReference* blockRef, const OdDbAttributeDefinition* attDef);
    // Sets the text of the reference's attributes with that tag (without
    // regard to case); a missing attribute of a tag the definition has is
    // added with the text. False when the definition cannot be opened or
    // has no attribute definitions.
    static bool SetBlockRefAttribute(OdDbBlockReference* blockRef, const wchar_t* tag, const wchar_t* text);
    // The text of the attribute with that tag; the last match wins.
    static bool GetBlockRefAttribute(OdDbBlockReference* blockRef, const wchar_t* tag, CString& text);
    static void SetScaleFactor(OdDbBlockReference* blockRef, double scale);
    // Appends the intersections of the block's contents, placed by the
    // reference, with the entity. Texts are left out unless asked; the
    // entity is extended when asked; plane intersects in the XY plane.
    static void IntersectWithBlockRef(OdDbBlockReference* blockRef, OdDbEntity* entity, OdGePoint3dArray& points,
                                      bool withText, bool inXYPlane, bool extend);
    // Copies the named block of a drawing file into the working database.
    static OdDbObjectId CopyBlockDefFromDwg(const wchar_t* fileName, const wchar_t* blockName);
    // Inserts a drawing file as the block definition of that name, unless
    // the database has one and overwrite is false.
    static OdDbObjectId InsertDwgBlockDef(const wchar_t* fileName, const wchar_t* blockName, bool overwrite,
                                          OdDbDatabase* db);
};

// Host SDK stand-in: run-time classes, the object root and the status codes.
#pragma once

#include <cstdint>

#include "odstring.h"

// Host status codes. 0 is success; the values of the named failures are the
// ones the host reports.
enum OdResult {
    eOk = 0,
    eNotImplemented = 1,
    eInvalidInput = 3,
    eAmbiguousInput = 4,
    eKeyNotFound = 26,
    eDuplicateKey = 27,
    eInvalidIndex = 28,
    eNullObjectId = 32,
    eNotApplicable = 34,
    eWrongDatabase = 44,
    eCannotBeErasedByCaller = 47,
    eWasErased = 80,
    eWasOpenForRead = 82,
    eWasOpenForWrite = 83,
    eNotOpenForWrite = 86,
    eNotInDatabase = 89,
    eAlreadyInDb = 92,
    eDuplicateRecordName = 95,
    eNotThatKindOfClass = 98,
    eUnknownHandle = 104,
    eRegappIdNotFound = 118,
    eInvalidExtents = 133,
    eExplodeAgain = 137,
    eCannotScaleNonUniformly = 139,
    eDegenerateGeometry = 140,
    eUndefinedLineType = 168,
    eFileNotFound = 170,
    eLockViolation = 176,
};

class OdRxClass {
public:
    OdRxClass(const wchar_t* name, const OdRxClass* parent) : name_(name), parent_(parent) {}
    // The host's class name, for example "AcDbText".
    const OdString& name() const { return name_; }
    const OdRxClass* myParent() const { return parent_; }
    bool isDerivedFrom(const OdRxClass* other) const;

private:
    OdString name_;
    const OdRxClass* parent_;
};

// The runtime's class registry: a module that registered classes builds
// the hierarchy once, and deletes each class again when it unloads.
void odrxBuildClassHierarchy();
void deleteOdRxClass(OdRxClass* cls);
namespace standin {
int ClassHierarchyBuilds();
int DeletedClasses();
}  // namespace standin

class OdRxObject {
public:
    virtual ~OdRxObject() = default;
    static OdRxClass* desc();
    virtual OdRxClass* isA() const { return desc(); }
    bool isKindOf(const OdRxClass* c) const { return isA()->isDerivedFrom(c); }
};

// Declares the run-time class members of a host class.
#define ODRX_DECLARE_MEMBERS(ClassName) \
    static OdRxClass* desc();           \
    OdRxClass* isA() const override { return desc(); }

// Defines them: the host's class name and the parent class.
#define ODRX_DEFINE_MEMBERS(ClassName, ParentName, HostName) \
    OdRxClass* ClassName::desc()                              \
    {                                                          \
        static OdRxClass c(HostName, ParentName::desc());     \
        return &c;                                             \
    }

// A typed view of an object: null when it is of another class.
template <class T>
T* OdRxCast(OdRxObject* o)
{
    return o && o->isKindOf(T::desc()) ? static_cast<T*>(o) : nullptr;
}
template <class T>
const T* OdRxCast(const OdRxObject* o)
{
    return o && o->isKindOf(T::desc()) ? static_cast<const T*>(o) : nullptr;
}

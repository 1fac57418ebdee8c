// The object model's bookkeeping: the live object count, owned objects freed with their owner,
// reference counts and the destruction they lead to.
#include "ui/Object.h"

namespace {
int liveObjects = 0;

void DestroyNow(BaseObject* obj) {
    // A negative count marks the object as being destroyed: no handler of it runs any more
    // and a second free while the destruction goes on does nothing.
    obj->RefCount = -1;
    obj->Destroy();
}
} // namespace

BaseObject::BaseObject() { ++liveObjects; }
BaseObject::~BaseObject() { --liveObjects; }

void BaseObject::ReleaseOwned() {
    Event<void(BaseObject*)> onDestroy = OnDestroy;
    OnDestroy = {};
    onDestroy(this);
    std::vector<BaseObject*> owned;
    owned.swap(AutoFree);
    for (auto it = owned.rbegin(); it != owned.rend(); ++it) FreeObject(*it);
}

void BaseObject::Destroy() {
    ReleaseOwned();
    delete this;
}

void FreeObject(BaseObject* obj) {
    if (!obj) return;
    if (obj->RefCount == 0) {
        DestroyNow(obj);
    } else if (obj->RefCount > 0 && obj->RefCount % 2 == 0) {
        obj->RefCount -= 1;
    }
}

void RefInc(BaseObject* obj) { obj->RefCount += 2; }

void RefDec(BaseObject* obj) {
    obj->RefCount -= 2;
    if (obj->RefCount < 0 && obj->RefCount % 2 != 0) DestroyNow(obj);
}

void AddAutoFree(BaseObject* owner, BaseObject* obj) {
    if (owner && obj) owner->AutoFree.push_back(obj);
}

int LiveObjectCount() { return liveObjects; }

// Owning reference to a GObject: unref on destruction.
#pragma once

#include <glib-object.h>

#include <utility>

namespace orvy::sim {

template <typename T>
class GRef {
public:
    GRef() = default;
    // Takes over a reference the caller owns.
    static GRef adopt(T *object)
    {
        GRef ref;
        ref.object_ = object;
        return ref;
    }
    // Adds a reference of its own.
    static GRef share(T *object)
    {
        if (object) g_object_ref(object);
        return adopt(object);
    }
    ~GRef() { reset(); }
    GRef(GRef &&other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    GRef &operator=(GRef &&other) noexcept
    {
        if (this != &other) {
            reset();
            object_ = std::exchange(other.object_, nullptr);
        }
        return *this;
    }
    GRef(const GRef &) = delete;
    GRef &operator=(const GRef &) = delete;

    T *get() const { return object_; }
    T *operator->() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }
    void reset()
    {
        if (object_) g_object_unref(object_);
        object_ = nullptr;
    }

private:
    T *object_ = nullptr;
};

}  // namespace orvy::sim

#pragma once

#include <cstddef>
#include <initializer_list>
#include <memory>
#include <utility>
#include <vector>

namespace gloam::render {

// The values of an image's pixels: either a vector of its own or values
// that something else holds (a decoded texture's full-size level), kept
// alive by an owner and never copied. Reading is the same for both;
// changing borrowed values first copies them into a vector of its own.
template <class T>
class SharedPixels {
public:
    SharedPixels() = default;
    SharedPixels(std::vector<T> values)
        : owned_(std::move(values))
    {}
    SharedPixels& operator=(std::vector<T> values)
    {
        release();
        owned_ = std::move(values);
        return *this;
    }

    // `count` values at `values`, valid for as long as `owner` lives.
    static SharedPixels borrowed(std::shared_ptr<const void> owner, const T* values, std::size_t count)
    {
        SharedPixels pixels;
        pixels.owner_ = std::move(owner);
        pixels.borrowed_ = values;
        pixels.borrowedCount_ = count;
        return pixels;
    }

    bool isBorrowed() const { return owner_ != nullptr; }
    const T* data() const { return owner_ ? borrowed_ : owned_.data(); }
    std::size_t size() const { return owner_ ? borrowedCount_ : owned_.size(); }
    bool empty() const { return size() == 0; }
    const T& operator[](std::size_t index) const { return data()[index]; }
    const T* begin() const { return data(); }
    const T* end() const { return data() + size(); }

    // Filling an image's own values, as with a vector.
    T& operator[](std::size_t index) { return own()[index]; }
    typename std::vector<T>::iterator end() { return own().end(); }
    template <class... Args>
    void assign(Args&&... args)
    {
        own().assign(std::forward<Args>(args)...);
    }
    void insert(typename std::vector<T>::iterator position, std::initializer_list<T> values)
    {
        own().insert(position, values);
    }

private:
    std::vector<T>& own()
    {
        if (owner_) {
            std::vector<T> copy(borrowed_, borrowed_ + borrowedCount_);
            release();
            owned_ = std::move(copy);
        }
        return owned_;
    }
    void release()
    {
        owner_.reset();
        borrowed_ = nullptr;
        borrowedCount_ = 0;
    }

    std::vector<T> owned_;
    std::shared_ptr<const void> owner_;
    const T* borrowed_ = nullptr;
    std::size_t borrowedCount_ = 0;
};

} // namespace gloam::render

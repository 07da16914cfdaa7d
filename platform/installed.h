#pragma once
// The one instance of a seam in force: the built-in one (plain Qt) unless a replacement, owned
// by whoever installed it, has been put in its place.

namespace kelvo::platform {

template <class Interface>
class Installed {
public:
    [[nodiscard]] static Interface &get()
    {
        static Interface builtIn;
        return replacement() ? *replacement() : builtIn;
    }
    // nullptr puts the built-in one back.
    static void set(Interface *installed) { replacement() = installed; }

private:
    static Interface *&replacement()
    {
        static Interface *current = nullptr;
        return current;
    }
};

} // namespace kelvo::platform

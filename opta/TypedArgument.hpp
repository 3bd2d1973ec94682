// Options bound to a typed value: switches that toggle a bool, and options whose value is
// converted from the command line text into a variable of the caller or of their own.
#pragma once

#include <functional>
#include <limits>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <type_traits>

#include "opta/Argument.hpp"
#include "opta/Exceptions.hpp"

namespace OPTA {

// Reads a decimal number of digits only (no sign, no blanks) that is at most max.
bool readUnsigned(const std::string& text, unsigned long long max, unsigned long long& value);

// Converts the whole text into target; false leaves target unchanged. Strings are taken as
// they are, unsigned numbers (8-bit ones included) must be plain decimal digits within the
// type's range, and everything else is read by stream extraction with nothing left over.
template <typename T>
bool setValue(T& target, const std::string& text) {
    if constexpr (std::is_same_v<T, std::string>) {
        target = text;
        return true;
    } else if constexpr (std::is_integral_v<T> && std::is_unsigned_v<T>) {
        unsigned long long value = 0;
        if (!readUnsigned(text, std::numeric_limits<T>::max(), value)) {
            return false;
        }
        target = static_cast<T>(value);
        return true;
    } else {
        std::istringstream in(text);
        T value{};
        if (!(in >> value) || in.peek() != std::char_traits<char>::eof()) {
            return false;
        }
        target = value;
        return true;
    }
}

// An argument bound to a value of type T. Its check runs the typed callback with the
// current value instead of the plain callback.
template <typename T>
class TypedArgument : public Argument {
public:
    using TypedCheckFunc = std::function<void(const TypedArgument&, const T&)>;
    using Argument::check;

    virtual TypedArgument& check_typed(TypedCheckFunc func) {
        m_typedCheckFunc = std::move(func);
        return *this;
    }

    void check() override {
        if (m_typedCheckFunc) {
            m_typedCheckFunc(*this, *m_storage);
        }
    }

    const T& value() const { return *m_storage; }

protected:
    // The names are those of the Argument constructors: a description, optionally followed
    // by a long name or by a letter and a long name.
    template <typename... Names>
    explicit TypedArgument(T& storage, const Names&... names)
        : Argument(names...), m_storage(&storage) {
        max(1);
    }

    T& storage() { return *m_storage; }

private:
    T* m_storage;
    TypedCheckFunc m_typedCheckFunc;
};

// An option without value; every occurrence toggles the bound bool. Without a bool of the
// caller it toggles one of its own, shared by all its copies.
class SwitchArgument : public TypedArgument<bool> {
public:
    template <typename... Names>
    explicit SwitchArgument(bool& flag, const Names&... names)
        : TypedArgument<bool>(flag, names...) {}
    explicit SwitchArgument(const std::string& description);
    SwitchArgument(const std::string& description, const std::string& name);
    SwitchArgument(const std::string& description, char letter, const std::string& name);

    void set() override;
    bool takes_value() const override { return false; }
    std::unique_ptr<BaseArgument> clone() const& override;
    std::unique_ptr<BaseArgument> clone() && override;

private:
    template <typename... Names>
    explicit SwitchArgument(std::shared_ptr<bool> own, const Names&... names)
        : TypedArgument<bool>(*own, names...), m_ownStorage(std::move(own)) {}

    std::shared_ptr<bool> m_ownStorage;
};

// The interface through which the parser hands a value to an argument.
class ValueAcceptor {
public:
    virtual ~ValueAcceptor() = default;
    virtual void set(const std::string& text) = 0;

protected:
    ValueAcceptor() = default;
    ValueAcceptor(const ValueAcceptor&) = default;
    ValueAcceptor& operator=(const ValueAcceptor&) = default;
};

// An option with a value, converted into the caller's variable. Without letter or name it is
// positional and takes the words that are not options.
template <typename T>
class VariableArgument : public TypedArgument<T>, public ValueAcceptor {
public:
    template <typename... Names>
    explicit VariableArgument(T& storage, const Names&... names)
        : TypedArgument<T>(storage, names...) {}

    // The placeholder for the value in usage and help, e.g. "filename".
    VariableArgument& valuename(const std::string& name) {
        m_valueName = name;
        return *this;
    }

    bool takes_value() const override { return true; }
    std::string value_name() const override { return m_valueName; }

    void set() override { throw std::logic_error("Calling set() on valued argument"); }

    // Stores the converted value, runs the check and counts the occurrence.
    void set(const std::string& text) override {
        if (!setValue(this->storage(), text)) {
            throw argument_invalid_value(*this, text);
        }
        this->check();
        this->countOccurrence();
    }

    std::string ident() const override { return this->matches() ? m_valueName : Argument::ident(); }

    std::string usage() const override {
        if (!this->matches()) {
            return this->optionUsage() + " " + m_valueName;
        }
        return this->max() == 1 ? m_valueName : m_valueName + "...";
    }

    std::unique_ptr<BaseArgument> clone() const& override {
        return std::make_unique<VariableArgument>(*this);
    }
    std::unique_ptr<BaseArgument> clone() && override {
        return std::make_unique<VariableArgument>(std::move(*this));
    }

private:
    std::string m_valueName;
};

// A value option that keeps its value itself, shared by all its copies; read it with
// value() after parsing.
template <typename T>
class ValueArgument : public VariableArgument<T> {
public:
    explicit ValueArgument(const std::string& description)
        : ValueArgument(std::make_shared<T>(), description) {}
    ValueArgument(const std::string& description, const std::string& name)
        : ValueArgument(std::make_shared<T>(), description, name) {}
    ValueArgument(const std::string& description, char letter, const std::string& name)
        : ValueArgument(std::make_shared<T>(), description, letter, name) {}

    std::unique_ptr<BaseArgument> clone() const& override {
        return std::make_unique<ValueArgument>(*this);
    }
    std::unique_ptr<BaseArgument> clone() && override {
        return std::make_unique<ValueArgument>(std::move(*this));
    }

private:
    template <typename... Names>
    explicit ValueArgument(std::shared_ptr<T> own, const Names&... names)
        : VariableArgument<T>(*own, names...), m_ownStorage(std::move(own)) {}

    std::shared_ptr<T> m_ownStorage;
};

} // namespace OPTA

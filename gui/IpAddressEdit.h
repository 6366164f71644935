// CIpAddressEdit: the IPv4 address control, four fields of 0 to 255.
#pragma once

#include <QWidget>

#include <array>
#include <cstdint>

class QLineEdit;

class CIpAddressEdit : public QWidget {
  Q_OBJECT

 public:
  explicit CIpAddressEdit(QWidget* parent = nullptr);

  // Fills the four fields from a host-order address (first octet high).
  void SetAddress(uint32_t address);
  // True with the address when every field holds a number.
  bool Address(uint32_t* address) const;
  bool IsFilled() const { return Address(nullptr); }
  std::array<QLineEdit*, 4> Parts() const { return m_parts; }

 signals:
  // A field was edited by the user.
  void edited();

 private:
  std::array<QLineEdit*, 4> m_parts{};
};

// Reads one variable: one GetRequest and its answer.
#pragma once

#include "workers/ThreadActionWalkerRequest.h"

class CThreadActionWalkerGet final : public CThreadActionWalkerRequest {
 public:
  ~CThreadActionWalkerGet() override { _shutdown(); }
  const wchar_t* GetClassName() const override { return L"CThreadActionWalkerGet"; }
  void OnAction(uint32_t status, uintptr_t value1, uintptr_t value2, uintptr_t value3) override;

 protected:
  uint32_t _started_code() const override;
  uint32_t _finished_code() const override;
  std::unique_ptr<CSnmpFrameOut> _new_request() const override;
  std::unique_ptr<CSnmpResponseIn> _new_response() const override;
  const wchar_t* _sent_title() const override { return L"CThreadActionWalkerGet sent data"; }
  const wchar_t* _received_title() const override { return L"CThreadActionWalkerGet received data"; }
};

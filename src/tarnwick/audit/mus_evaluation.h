#pragma once
// cMUSEval: evaluation of a monetary-unit sample.
//
// The sampled items are fed with their book and audited amounts. For each direction
// (overstatements, book above audited; understatements, audited above book), separately:
//  - an item whose book amount is at least the sampling interval J (the top stratum) projects
//    its misstatement exactly, B - A, and adds no allowance;
//  - an item below J has the tainting t = (B - A) / B and projects t x J;
//  - basic precision = UEL(0) x J, with UEL(k) the Poisson upper-limit factor for k
//    misstatements at the confidence (the mean m with P(X <= k | m) = 1 - conf);
//  - incremental allowance: the taintings below J ranked from largest to smallest, the i-th
//    adding t_i x J x (UEL(i) - UEL(i - 1) - 1); an increment below 0 (confidences under
//    about 51 %) adds nothing, so the allowance never lowers the limit;
//  - upper misstatement limit = projected misstatement + basic precision + allowance.
// A sample without misstatements still has the basic precision as its limit.
//
// Amounts are kept as fixed-point amounts. A book amount of 0 or below cannot have been
// selected by monetary units and is the invalid-argument error of AddItem; so is an interval
// of 0 or below at evaluation.

#include <cstdint>
#include <string>
#include <vector>

#include "tarnwick/core/currency.h"

namespace tarnwick {

class cMUSEval {
 public:
  // The sampling interval, in money.
  double interval() const { return interval_; }
  void interval(double value) { interval_ = value; }
  // Limited to 0..0.999999 (written back).
  double conf() const { return conf_; }
  void conf(double& value);

  // One sampled item; a misstatement when the two amounts differ.
  void AddItem(double book, double audited);

  std::int32_t Items() const { return items_; }
  Currency BookTotal() const { return bookTotal_; }
  Currency AuditedTotal() const { return auditedTotal_; }

  // The Poisson upper-limit factor for k misstatements at the confidence.
  double Factor(std::int32_t k) const;

  // Figures of one direction: over = true for overstatements.
  std::int32_t Misstatements(bool over) const;
  double TopStratum(bool over) const;
  double Projected(bool over) const;
  double BasicPrecision() const;
  double Allowance(bool over) const;
  double UpperLimit(bool over) const;

  std::string Report() const;

 private:
  struct Found {
    double book;
    double audited;
    double tainting;  // of an item below the interval; 0 in the top stratum
    bool top;
  };
  // The misstatements of a direction below the interval, largest tainting first.
  std::vector<Found> Ranked(bool over) const;
  void CheckInterval() const;

  double interval_ = 10000.0;
  double conf_ = 0.95;
  std::int32_t items_ = 0;
  Currency bookTotal_;
  Currency auditedTotal_;
  std::vector<Found> over_;
  std::vector<Found> under_;
};

}  // namespace tarnwick

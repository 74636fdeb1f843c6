#pragma once
// cCephes: special functions and probability distributions after the Cephes library
// (series, continued fractions and rational approximations; Newton steps and interval halving
// for the inverses), plus a few elementary helpers.
//
// The class has no state; every method is static, so callers may use either
// `cCephes::ChiSquareDistribution(v, x)` or an object. Mathematical constants are the engine's
// 13- to 15-digit literals (pi is 3.14159265358979), so results agree with full-precision values
// to about 1e-14 relative at best.
//
// Errors: arguments that are NaN or infinite, and domain failures inside a step, raise
// EngineError (DivisionByZero at the poles of Gamma and LnGamma, InvalidArgument for a
// logarithm or square root out of its domain, Overflow for a result beyond the double range).
// No method returns NaN or infinity.

#include <cstdint>

namespace tarnwick {

class cCephes {
 public:
  // P(chi-square with v degrees of freedom <= x).
  static double ChiSquareDistribution(double v, double x);
  // Upper tail P(chi-square > xChiSq).
  static double ChiSquareCDistribution(double vDF, double xChiSq);
  // The x whose upper tail is y.
  static double InvChiSquareDistribution(double v, double y);
  static double Gamma(double x);
  // ln |Gamma(x)|; SgnGam receives the sign of Gamma(x), +1 or -1.
  static double LnGamma(double x, double& SgnGam);
  // Regularised lower incomplete gamma P(a, x).
  static double IncompleteGamma(double a, double x);
  // Regularised upper incomplete gamma Q(a, x) = 1 - P(a, x).
  static double IncompleteGammaC(double a, double x);
  // The x with Q(a, x) = y0.
  static double InvIncompleteGammaC(double a, double y0);
  static double Erf(double x);
  static double ErfC(double x);
  // Standard normal distribution function.
  static double NormalDistribution(double x);
  // The x with erf(x) = E.
  static double InvErf(double E);
  // The x with NormalDistribution(x) = y0; -1E+300 and +1E+300 at the ends.
  static double InvNormalDistribution(double y0);
  static double MaxReal(double M1, double M2);
  static double MinReal(double M1, double M2);
  static std::int32_t MaxInt(std::int32_t M1, std::int32_t M2);
  static std::int32_t MinInt(std::int32_t M1, std::int32_t M2);
  static double ArcSin(double x);
  static double ArcCos(double x);
  static double SinH(double x);
  static double CosH(double x);
  static double TanH(double x);
  static double Pi();
  // Base ^ Exponent with the engine's operator rules.
  static double Power(double Base, double Exponent);
  static double Square(double x);
  static double Log10(double x);
  static double Ceil(double x);
  // floor(r * x) for a fresh uniform r in [0, 1) from the engine's generator.
  static std::int32_t RandomInteger(std::int32_t x);
  // Angle of the point (x, y).
  static double Atn2(double y, double x);
  // F distribution function with a and B degrees of freedom.
  static double FDistribution(std::int32_t a, std::int32_t B, double x);
  static double FCDistribution(std::int32_t a, std::int32_t B, double x);
  // The x whose upper tail is y.
  static double InvFDistribution(std::int32_t a, std::int32_t B, double y);
  // Regularised incomplete beta I_x(a, B).
  static double IncompleteBeta(double a, double B, double x);
  // The x with I_x(a, B) = y.
  static double InvIncompleteBeta(double a, double B, double y);
  // P(X <= k) for a Poisson variable with mean M.
  static double PoissonDistribution(std::int32_t k, double M);
  // P(X > k).
  static double PoissonCDistribution(std::int32_t k, double M);
  // The mean M with P(X <= k) = y.
  static double InvPoissonDistribution(std::int32_t k, double y);
  // Student t distribution function with k degrees of freedom.
  static double StudentTDistribution(std::int32_t k, double t);
  // The t with StudentTDistribution(k, t) = p; -1E+300 and +1E+300 at the ends.
  static double InvStudentTDistribution(std::int32_t k, double p);
};

}  // namespace tarnwick

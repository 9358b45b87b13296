#include "help/about.h"

namespace dulvex {

AboutTexts Form2_Load(const VersionRecord& version) {
  AboutTexts t;
  t.Label1 = version.comments;
  t.Label2 = "by " + version.companyName;
  t.Label6 = VersionCaption(version);
  return t;
}

std::vector<Control> Form2Design() {
  using K = ControlKind;
  constexpr Rgb kBlack = MakeRgb(0, 0, 0);
  constexpr Rgb kWhite = MakeRgb(255, 255, 255);
  // Labels: transparent, "MS Sans Serif" 13.8 points (a sans-serif face here).
  auto label = [&](const char* name, double left, double top, double width, double height, Rgb fore,
                   Align align, const char* caption) {
    Control c = Control::Placed(name, -1, K::Label, "Form2", left, top, width, height, caption);
    c.back = kBlack;
    c.fore = fore;
    c.transparent = true;
    c.face = FontFace::Sans;
    c.fontSize = 13.8;
    c.align = align;
    return c;
  };
  Control form;
  form.name = "Form2";
  form.kind = K::Form;
  form.width = 7680;
  form.height = 9144;
  form.caption = "About";
  form.back = kBlack;
  form.face = FontFace::Sans;

  Control image = label("Image1", 240, 960, 7200, 6192, kWhite, Align::Left, "");
  image.transparent = false;  // the picture covers its area

  return {
      form,
      label("Label6", 240, 60, 7272, 492, kWhite, Align::Center, ""),
      label("Label2", 240, 600, 7272, 492, kWhite, Align::Center, ""),
      image,
      label("Label1", 240, 7200, 7272, 1272, kWhite, Align::Left, ""),
      label("Label3", 240, 8520, 7272, 492, MakeRgb(128, 255, 255), Align::Center, kAboutAddress)};
}

void mnuAbout_Click(AboutHost& host, const VersionRecord& version) {
  if (!host.Exists()) host.Load(Form2_Load(version));
  host.Show();
}

}  // namespace dulvex

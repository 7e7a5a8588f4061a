// Writes the seed corpus of the XML parse fuzz target into the directory given on the
// command line: small setup documents and documents that exercise every kind of
// markup, entities, deep nesting and the malformed cases the parser must survive.
// Run by hand (target kv_write_xml_seeds) when the seeds need refreshing.
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "testkit/ByteWriter.h"
#include "testkit/SetupDocumentWriter.h"
#include "testkit/XmlTextWriter.h"

using namespace Korvane::DataReader::TestKit;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <corpus directory>\n", argv[0]);
    return 2;
  }
  std::vector<std::pair<std::string, std::string>> seeds;

  SetupDocumentWriter setup;
  for (int i = 0; i < 3; ++i) {
    SetupChannelDefinition channel;
    channel.index = "AI;" + std::to_string(i);
    channel.name = "Channel " + std::to_string(i);
    channel.unit = "V";
    channel.description = "Sensor <" + std::to_string(i) + "> & more";
    channel.properties = {{"Serial", "SN-1"}};
    setup.AddChannel(channel);
  }
  seeds.emplace_back("setup.xml", setup.Text());
  seeds.emplace_back("setup_compact.xml", setup.Compact(true).Text());

  XmlTextWriter items;
  items.Declaration().Comment("before").Open("doc").Attribute("a", "x < y & \"z\"").Attribute("b", "");
  items.Comment("inside").Leaf("k", "R&D").CData("raw <&> text").Raw("<?pi data?>").Open("e").Close();
  items.Raw("&#65;&#x20AC;&#;&bogus;&#1114112;").Text("tail").Close().Comment("after");
  seeds.emplace_back("items.xml", items.text());

  std::string deep = "<?xml version=\"1.0\"?>";
  for (int i = 0; i < 300; ++i) deep += "<d>";
  deep += "x";
  for (int i = 0; i < 300; ++i) deep += "</d>";
  seeds.emplace_back("deep.xml", deep);

  seeds.emplace_back("unclosed.xml", "<?xml?><a><b><c>x</c></a>");
  seeds.emplace_back("cut_tag.xml", "<?xml?><a><b x=\"1\"");
  seeds.emplace_back("cut_comment.xml", "<?xml?><a><!-- never");
  seeds.emplace_back("cut_cdata.xml", "<?xml?><a><![CDATA[ never");
  seeds.emplace_back("unbalanced_quote.xml", "<?xml?><a x=\"1><b/></a>");
  seeds.emplace_back("unquoted.xml", "<?xml?><a x=1 y='2' z=\"3\"/>");
  seeds.emplace_back("no_declaration.xml", "<a><b/>t</a><c/>");
  seeds.emplace_back("no_markup.txt", "plain text only");
  seeds.emplace_back("stray_close.xml", "<?xml?></x></y><a></b></a>");
  seeds.emplace_back("nul_inside.xml", std::string("<?xml?><a>\0<b/></a>", 20));
  // Found by fuzzing: instructions too short to hold any text, and empty items.
  seeds.emplace_back("empty_items.xml", "<?xml?><a><?><?x><![CDATA[]]><!----></a>");

  for (const auto& [name, text] : seeds) {
    WriteFile(std::string(argv[1]) + "/" + name, std::vector<uint8_t>(text.begin(), text.end()));
  }
  return 0;
}

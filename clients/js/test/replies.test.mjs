// Cards and errors made from the replies the program gave on the simulated reader.

import assert from "node:assert/strict";
import { describe, it } from "node:test";

import { LONG_TERM, ReaderError, parseReply } from "../dist/index.js";
import { replies } from "./support.mjs";

const cardReplies = Object.keys(replies).filter((name) => name.startsWith("card-"));

describe("cards read from the sample cards", () => {
  it("gives every sample card its kind", () => {
    const kinds = {
      foreigner_canada: "foreigner",
      foreigner_usa: "foreigner",
      permit_hongkong: "hongkong-macau",
      permit_macau: "hongkong-macau",
      permit_taiwan: "taiwan",
      resident_dated: "resident",
      resident_long_term: "resident",
    };
    const cards = new Set();
    for (const name of cardReplies) {
      const card = name.replace(/^card-/, "").replace(/-pictures$/, "");
      cards.add(card);
      assert.equal(parseReply(replies[name]).kind, kinds[card], name);
    }
    assert.deepEqual([...cards].sort(), Object.keys(kinds));
  });

  it("leaves no value with blanks at its ends and no date outside ISO form", () => {
    for (const name of cardReplies) {
      const card = parseReply(replies[name]);
      for (const [field, value] of Object.entries(card)) {
        if (typeof value === "string") {
          assert.equal(value, value.trim(), `${name}: ${field}`);
        }
      }
      assert.match(card.birthDate, /^\d{4}-\d{2}-\d{2}$/, name);
      assert.match(card.validFrom, /^\d{4}-\d{2}-\d{2}$/, name);
      assert.ok(card.validUntil === LONG_TERM || /^\d{4}-\d{2}-\d{2}$/.test(card.validUntil), name);
      assert.equal(card.raw, replies[name], "the reply is kept untouched");
    }
  });

  it("reads a resident card valid without end", () => {
    const card = parseReply(replies["card-resident_long_term"]);
    assert.equal(card.name, "陈静怡");
    assert.equal(card.sex, "女");
    assert.equal(card.ethnicity, "汉");
    assert.equal(card.birthDate, "1965-03-12");
    assert.equal(card.idNumber, "11010119650312158X");
    assert.equal(card.issuedBy, "北京市公安局东城分局");
    assert.equal(card.validFrom, "2015-08-20");
    assert.equal(card.validUntil, LONG_TERM);
    assert.equal(card.cardSign, "");
    assert.equal(card.newAddress, "");
  });

  it("reads a foreigner's card with its English name and nationality", () => {
    const card = parseReply(replies["card-foreigner_usa"]);
    assert.equal(card.name, "玛格丽特·惠特菲尔德");
    assert.equal(card.englishName, "WHITFIELD-ABERNATHY, MARGARET ELEANOR ROSALIND CATHERINE JOY");
    assert.equal(card.nationalityCode, "USA");
    assert.equal(card.idNumber, "USA117905200271");
    assert.equal(card.birthDate, "1979-05-20");
    assert.equal(card.validUntil, "2030-09-14");
    assert.equal(card.cardVersion, "10");
    assert.equal(card.issuingAuthorityCode, "1100");
    assert.equal(card.reserved, "");
    assert.equal("address" in card, false);
  });

  it("reads a Taiwan permit with its pass number trimmed", () => {
    const card = parseReply(replies["card-permit_taiwan"]);
    assert.equal(card.passNumber, "08452961");
    assert.equal(card.issueCount, "03");
    assert.equal(card.address, "福建省厦门市思明区示例路66号之3");
    assert.equal(card.issuedBy, "厦门市公安局");
  });

  it("gives the pictures as data URLs when the service made them", () => {
    const pictured = cardReplies.filter((name) => name.endsWith("-pictures"));
    assert.ok(pictured.length > 0);
    for (const name of pictured) {
      const card = parseReply(replies[name]);
      for (const picture of [card.photo, card.frontImage, card.backImage]) {
        assert.ok(picture.startsWith("data:image/jpeg;base64,/9j/"), picture.slice(0, 40));
      }
      assert.deepEqual(card.missingPictures, [], name);
      assert.equal(card.message, "", name);
    }
  });

  it("says which pictures are missing when the photo decoder is not installed", () => {
    const card = parseReply(replies["card-resident_dated"]);
    assert.equal(card.idNumber, "450103199207152538");
    assert.deepEqual(card.missingPictures, ["photo", "front", "back"]);
    assert.equal(card.photo, null);
    assert.equal(card.message, "加载二代证解码库失败.");
  });
});

describe("failed reads", () => {
  const expected = {
    "failure-no-card": ["no-card", 128],
    "failure-find-refused": ["no-card", -7],
    "failure-select-refused": ["no-card", 65],
    "failure-read-failed": ["read-failed", 66],
    "failure-driver-missing": ["driver-missing", -11],
    "failure-photo-failed": ["photo-failed", -5],
    "failure-front-failed": ["photo-failed", -1],
    "failure-back-failed": ["photo-failed", -1],
  };

  it("covers every captured failure", () => {
    const captured = Object.keys(replies).filter((name) => name.startsWith("failure-"));
    assert.deepEqual(captured.sort(), Object.keys(expected).sort());
  });

  for (const [name, [code, result]] of Object.entries(expected)) {
    it(`${name} is a ReaderError "${code}" that keeps the service's number and message`, () => {
      assert.throws(
        () => parseReply(replies[name]),
        (error) => {
          assert.ok(error instanceof ReaderError);
          assert.equal(error.code, code);
          assert.equal(error.result, result);
          assert.equal(error.serviceMessage, replies[name].errmsg);
          assert.equal(error.reply, replies[name]);
          return true;
        },
      );
    });
  }

  it("treats a folder failure reported with result 0 as a missing driver, not a card", () => {
    const reply = { ...replies["failure-no-card"], result: 0, errmsg: "获得模块路径失败." };
    assert.throws(() => parseReply(reply), { code: "driver-missing" });
  });

  it("gives a message it does not know the code read-failed, never a card", () => {
    const reply = {
      ...replies["failure-no-card"],
      result: -1,
      errmsg: "Send buffer is too small!",
    };
    assert.throws(() => parseReply(reply), { code: "read-failed", result: -1 });
  });

  it("rejects what is not a reply document", () => {
    for (const value of [
      null,
      "readcard",
      [],
      { result: "0" },
      { ...replies["card-resident_dated"], Name: 7 },
    ]) {
      assert.throws(() => parseReply(value), { name: "ReaderError", code: "read-failed" });
    }
  });
});

describe("dates", () => {
  it("gives null for a date field the card does not hold as a real date", () => {
    const base = replies["card-resident_dated"];
    assert.equal(parseReply({ ...base, Birth: "" }).birthDate, null);
    assert.equal(parseReply({ ...base, Birth: "19920431" }).birthDate, null);
    assert.equal(parseReply({ ...base, ValidEnd: "2030" }).validUntil, null);
    assert.equal(parseReply({ ...base, ValidEnd: "长期  " }).validUntil, LONG_TERM);
  });
});

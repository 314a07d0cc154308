// The reply schema against the replies the program really gave, and against broken ones.

import assert from "node:assert/strict";
import { describe, it } from "node:test";
import Ajv2020 from "ajv/dist/2020.js";

import { REPLY_MEMBERS } from "../dist/index.js";
import { replies, schema } from "./support.mjs";

const validate = new Ajv2020({ allErrors: true, strict: true }).compile(schema);

function problems(reply) {
  return validate(reply) ? [] : validate.errors.map((e) => `${e.instancePath} ${e.message}`);
}

describe("reply schema", () => {
  it("requires exactly the members the library reads, with the types it reads them as", () => {
    assert.deepEqual([...schema.required].sort(), [...REPLY_MEMBERS].sort());
    for (const member of REPLY_MEMBERS) {
      assert.equal(
        schema.properties[member].type,
        member === "result" ? "integer" : "string",
        member,
      );
    }
  });

  for (const [name, reply] of Object.entries(replies)) {
    it(`accepts the captured reply ${name}`, () => {
      assert.deepEqual(problems(reply), []);
    });
  }

  it("rejects replies that break it", () => {
    const resident = replies["card-resident_dated"];
    const foreigner = replies["card-foreigner_usa"];
    const failure = replies["failure-no-card"];
    const { Name: _name, ...withoutName } = resident;
    const broken = {
      "a member missing": withoutName,
      "a member too many": { ...resident, extra: "" },
      "a result that is text": { ...resident, result: "0" },
      "a failure with a card field": { ...failure, Name: "陈静怡" },
      "a failure with a picture": { ...failure, photo: "AAAA" },
      "a failure without a message": { ...failure, errmsg: "" },
      "a foreigner with an address": { ...foreigner, Address: "北京" },
      "a resident with a pass number": { ...resident, PassId: "08452961 " },
      "a picture with a media-type prefix": { ...resident, photo: "data:image/jpeg;base64,AAAA" },
      "a date with dashes": { ...resident, Birth: "1992-07-15" },
    };
    for (const [what, reply] of Object.entries(broken)) {
      assert.notDeepEqual(problems(reply), [], what);
    }
  });
});

// Parameters of this wizard build: the distribution channel it reports.
var stubParams = {
  "CHANNEL": "lumenary-web"
};
